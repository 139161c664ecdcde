#include "app/SingleInstance.h"

#include "core/Executable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace quillmark::app {

namespace {

QString lockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    const QByteArray key =
        QCryptographicHash::hash(core::executablePath().toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return folder + QStringLiteral("/quillmark-sender-") + QString::fromLatin1(key) + QStringLiteral(".lock");
}

} // namespace

SingleInstance::SingleInstance() : m_lock(std::make_unique<QLockFile>(lockPath())) {
    // A running sender may hold its lock for weeks; only a dead owner's lock is stale.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire() {
    return m_lock->tryLock(0);
}

void SingleInstance::release() {
    m_lock->unlock();
}

} // namespace quillmark::app
