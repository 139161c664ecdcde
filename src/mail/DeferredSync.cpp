#include "mail/DeferredSync.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>

namespace quillmark::mail {

namespace {

QString failure(const char* what, const QByteArray& path) {
    return QStringLiteral("%1 \"%2\": %3")
        .arg(QLatin1String(what), QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

DeferredSync::DeferredSync() : m_worker([this] { run(); }) {}

DeferredSync::~DeferredSync() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

void DeferredSync::flushLater(FileDescriptor file, QByteArray path, QByteArray folder) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pending.size() + m_inFlight < kMostPending; });
    m_pending.push_back({std::move(file), std::move(path), std::move(folder)});
    lock.unlock();
    m_changed.notify_all();
}

void DeferredSync::wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pending.empty() && m_inFlight == 0; });
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
        std::deque<Pending> batch = std::exchange(m_pending, {});
        m_inFlight = batch.size();
        lock.unlock();
        flush(batch);
        lock.lock();
        m_inFlight = 0;
        m_changed.notify_all();
    }
}

// Runs without the lock: each file first, then each folder once, so a folder's entries are
// flushed after the files they name.
void DeferredSync::flush(std::deque<Pending>& batch) {
    QStringList failures;
    std::set<QByteArray> folders;
    for (Pending& pending : batch) {
        if (::fsync(pending.file.get()) != 0 || !pending.file.close()) {
            failures << failure("Cannot flush the message file", pending.path);
        }
        folders.insert(pending.folder);
    }
    for (const QByteArray& path : folders) {
        const FileDescriptor folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid() || ::fsync(folder.get()) != 0) {
            failures << failure("Cannot flush the mail folder", path);
        }
    }
    if (!failures.isEmpty()) {
        const std::lock_guard lock(m_mutex);
        m_failures << failures;
    }
}

} // namespace quillmark::mail
