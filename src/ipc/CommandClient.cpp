#include "ipc/CommandClient.h"

#include "core/Error.h"
#include "ipc/CommandFrame.h"
#include "ipc/CommandSocketPath.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace quillmark::ipc {

namespace {

int remainingMs(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

[[noreturn]] void failToConnect(const QLocalSocket& socket, WindowHandle window, const QString& path) {
    switch (socket.error()) {
    case QLocalSocket::ServerNotFoundError:
    case QLocalSocket::ConnectionRefusedError:
        throw core::Error(QStringLiteral("No Quillmark sender is running for window %1 (nothing listens at %2)")
                              .arg(window)
                              .arg(path));
    case QLocalSocket::SocketTimeoutError:
        throw core::Error(
            QStringLiteral("The Quillmark sender for window %1 did not accept the command in time").arg(window));
    default:
        throw core::Error(QStringLiteral("Cannot reach the Quillmark sender for window %1 at %2: %3")
                              .arg(window)
                              .arg(path, socket.errorString()));
    }
}

[[noreturn]] void failToFinish(const QLocalSocket& socket, WindowHandle window) {
    if (socket.state() == QLocalSocket::ConnectedState) {
        throw core::Error(QStringLiteral("The Quillmark sender for window %1 did not answer in time").arg(window));
    }
    throw core::Error(
        QStringLiteral("The Quillmark sender for window %1 closed the connection without answering").arg(window));
}

void writeAll(QLocalSocket& socket, const QByteArray& request, const QDeadlineTimer& deadline, WindowHandle window) {
    if (socket.write(request) != request.size()) {
        failToFinish(socket, window);
    }
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remainingMs(deadline))) {
            failToFinish(socket, window);
        }
    }
}

QByteArray readReply(QLocalSocket& socket, const QDeadlineTimer& deadline, WindowHandle window) {
    QByteArray reply;
    while (static_cast<std::size_t>(reply.size()) < kReplySize) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(remainingMs(deadline))) {
            failToFinish(socket, window);
        }
        reply.append(socket.read(static_cast<qint64>(kReplySize) - reply.size()));
    }
    return reply;
}

} // namespace

std::int32_t sendCommand(WindowHandle window, std::int32_t code, const QByteArray& payload,
                         std::chrono::milliseconds timeout, std::uint32_t dwData) {
    if (static_cast<std::size_t>(payload.size()) > kMaxPayloadSize) {
        throw core::Error(QStringLiteral("The command text is too long: %1 bytes, at most %2")
                              .arg(payload.size())
                              .arg(kMaxPayloadSize));
    }
    const QDeadlineTimer deadline(timeout);
    const QString path = commandSocketPath(window);
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(remainingMs(deadline))) {
        failToConnect(socket, window, path);
    }
    writeAll(socket, encodeRequest({code, dwData, payload}), deadline, window);
    const std::optional<std::int32_t> result = decodeReply(readReply(socket, deadline, window));
    socket.abort();
    return *result;
}

} // namespace quillmark::ipc
