#pragma once

#include <QByteArray>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>

namespace quillmark::mail {

// Makes written files durable in batches, on a worker thread. The caller writes a file, links
// it into its folder (a reader sees it at once) and names the folder here; the worker gathers
// the folders named within one batch window and then flushes their file systems once each
// (syncfs), so a stream of files costs one disk flush per batch instead of two per file, and
// never makes the caller wait for the disk. A process that ends or is killed loses nothing (the
// data is with the kernel); only a power failure within the batch window could.
// syncfs is Linux's; DeferredSync_linux.cpp holds the implementation.
class DeferredSync {
public:
    static constexpr std::chrono::milliseconds kBatchWindow{50};

    DeferredSync();
    // Waits until everything named so far is flushed.
    ~DeferredSync();
    DeferredSync(const DeferredSync&) = delete;
    DeferredSync& operator=(const DeferredSync&) = delete;

    // Asks for `folder` (as the file system spells it), with what was just written there, to
    // reach the disk within the batch window.
    void flushLater(const QByteArray& folder);
    // Returns once everything named so far is flushed.
    void wait();
    // What could not be flushed since the last call, one line per folder, for the log.
    [[nodiscard]] QStringList takeFailures();

private:
    void run();
    static QStringList flush(const std::set<QByteArray>& folders);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<QByteArray> m_pending;
    std::uint64_t m_requested = 0; // flushLater() calls so far
    std::uint64_t m_flushed = 0;   // how many of them the finished flushes covered
    std::size_t m_waiters = 0;
    bool m_stopping = false;
    QStringList m_failures;
    std::thread m_worker; // last: starts once everything it uses exists
};

} // namespace quillmark::mail
