#pragma once

#include "mail/FileDescriptor.h"

#include <QByteArray>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quillmark::mail {

// Makes files durable on a worker thread. The caller hands over a file it has written and
// already linked into its folder, still open; the worker flushes the file and then the folder,
// so the caller goes on at once while the disk catches up. Files handed over together share
// one flush of their folder. A process that ends or is killed loses nothing (the data is with
// the kernel); only a power failure within those milliseconds could.
class DeferredSync {
public:
    DeferredSync();
    // Waits until every file handed over is flushed.
    ~DeferredSync();
    DeferredSync(const DeferredSync&) = delete;
    DeferredSync& operator=(const DeferredSync&) = delete;

    // Takes the open file `file` at `path` in `folder` (both as the file system spells them).
    // Waits while many files are still unflushed, so a slow disk holds the caller back instead
    // of piling up open files.
    void flushLater(FileDescriptor file, QByteArray path, QByteArray folder);
    // Returns once every file handed over so far is flushed.
    void wait();
    // What could not be flushed since the last call, one line per file, for the log.
    [[nodiscard]] QStringList takeFailures();

    static constexpr std::size_t kMostPending = 64;

private:
    struct Pending {
        FileDescriptor file;
        QByteArray path;
        QByteArray folder;
    };

    void run();
    void flush(std::deque<Pending>& batch);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Pending> m_pending;
    std::size_t m_inFlight = 0;
    bool m_stopping = false;
    QStringList m_failures;
    std::thread m_worker; // last: starts once everything it uses exists
};

} // namespace quillmark::mail
