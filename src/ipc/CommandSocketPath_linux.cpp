#include "core/Error.h"
#include "ipc/CommandSocketPath.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark::ipc {

namespace {

constexpr mode_t kOthersAccess = S_IRWXG | S_IRWXO;

bool isPrivateFolder(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & kOthersAccess) == 0;
}

QString xdgRuntimeFolder() {
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    struct stat info {};
    if (::stat(value, &info) != 0 || !isPrivateFolder(info)) {
        return {};
    }
    return QFile::decodeName(value);
}

QString fallbackFolder(bool create) {
    QString folder = QDir::tempPath() + QStringLiteral("/quillmark-") + QString::number(::geteuid());
    const QByteArray native = QFile::encodeName(folder);
    if (create && ::mkdir(native.constData(), S_IRWXU) != 0 && errno != EEXIST) {
        throw core::Error(QStringLiteral("Cannot create the folder %1: %2")
                              .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        if (!create && errno == ENOENT) {
            return folder; // nothing listens there; the client's connect will say so
        }
        throw core::Error(
            QStringLiteral("Cannot use the folder %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!isPrivateFolder(info)) {
        throw core::Error(QStringLiteral("The folder %1 is not a private folder of this user").arg(folder));
    }
    return folder;
}

} // namespace

QString commandSocketPath(WindowHandle handle, bool createFolder) {
    QString folder = xdgRuntimeFolder();
    if (folder.isEmpty()) {
        folder = fallbackFolder(createFolder);
    }
    return folder + QStringLiteral("/quillmark-") + QString::number(handle) + QStringLiteral(".sock");
}

PathKind pathKind(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return errno == ENOENT ? PathKind::Missing : PathKind::Other;
    }
    return S_ISSOCK(info.st_mode) ? PathKind::Socket : PathKind::Other;
}

void makeOwnerOnly(const QString& path) {
    if (::chmod(QFile::encodeName(path).constData(), S_IRUSR | S_IWUSR) != 0) {
        throw core::Error(
            QStringLiteral("Cannot restrict access to %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

bool peerIsThisUser(qintptr descriptor) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return descriptor >= 0 && ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::geteuid();
}

} // namespace quillmark::ipc
