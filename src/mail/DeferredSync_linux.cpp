#include "mail/DeferredSync.h"
#include "mail/FileDescriptor.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillmark::mail {

DeferredSync::DeferredSync() : m_worker([this] { run(); }) {}

DeferredSync::~DeferredSync() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

void DeferredSync::flushLater(const QByteArray& folder) {
    bool startsBatch = false;
    {
        const std::lock_guard lock(m_mutex);
        startsBatch = m_pending.empty();
        m_pending.insert(folder);
        ++m_requested;
    }
    if (startsBatch) { // within a batch the worker is only waiting for its window to pass
        m_changed.notify_all();
    }
}

void DeferredSync::wait() {
    std::unique_lock lock(m_mutex);
    const std::uint64_t target = m_requested;
    ++m_waiters; // a waiting caller need not sit out the batch window
    m_changed.notify_all();
    m_changed.wait(lock, [this, target] { return m_flushed >= target; });
    --m_waiters;
}

QStringList DeferredSync::takeFailures() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_failures, {});
}

void DeferredSync::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
        if (m_pending.empty()) {
            return; // stopping, and nothing is left
        }
        // Gather what arrives within the window; a waiting caller or the end cuts it short.
        (void)m_changed.wait_for(lock, kBatchWindow, [this] { return m_stopping || m_waiters > 0; });
        const std::set<QByteArray> folders = std::exchange(m_pending, {});
        const std::uint64_t covered = m_requested;
        lock.unlock();
        const QStringList failures = flush(folders);
        lock.lock();
        m_failures << failures;
        m_flushed = covered;
        m_changed.notify_all();
    }
}

// Runs without the lock. One syncfs per folder writes every file, folder entry and inode of
// that file system, then flushes the disk's cache.
QStringList DeferredSync::flush(const std::set<QByteArray>& folders) {
    QStringList failures;
    for (const QByteArray& path : folders) {
        const FileDescriptor folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid() || ::syncfs(folder.get()) != 0) {
            failures << QStringLiteral("Cannot flush the mail folder \"%1\" to disk: %2")
                            .arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    return failures;
}

} // namespace quillmark::mail
