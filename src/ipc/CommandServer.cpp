#include "ipc/CommandServer.h"

#include "core/Error.h"
#include "ipc/CommandConnection.h"
#include "ipc/CommandSocketPath.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace quillmark::ipc {

namespace {
// A live server accepts at once; a dead one refuses at once. This only bounds the odd case.
constexpr int kProbeTimeoutMs = 1000;
} // namespace

CommandServer::CommandServer(WindowHandle window, const CommandLimits& limits)
    : m_window(window), m_limits(limits), m_path(commandSocketPath(window, true)),
      m_server(std::make_unique<QLocalServer>()) {
    clearStaleSocket();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        throw core::Error(QStringLiteral("Cannot listen for commands at %1: %2").arg(m_path, m_server->errorString()));
    }
    makeOwnerOnly(m_path);
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] { acceptConnections(); });
}

CommandServer::~CommandServer() {
    m_server->close();
    for (const QPointer<CommandConnection>& connection : std::as_const(m_connections)) {
        // A running command is on the stack below us; it cleans up after itself.
        if (!connection.isNull() && !connection->isRunning()) {
            delete connection.data();
        }
    }
}

void CommandServer::clearStaleSocket() const {
    switch (pathKind(m_path)) {
    case PathKind::Missing:
        return;
    case PathKind::Other:
        throw core::Error(QStringLiteral("Cannot listen for commands at %1: something else is in the way").arg(m_path));
    case PathKind::Socket:
        break;
    }
    QLocalSocket probe;
    probe.connectToServer(m_path);
    if (probe.waitForConnected(kProbeTimeoutMs)) {
        probe.abort();
        throw core::Error(QStringLiteral("Another Quillmark sender already listens for commands at %1").arg(m_path));
    }
    QLocalServer::removeServer(m_path);
}

void CommandServer::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!peerIsThisUser(socket->socketDescriptor()) || liveConnections() >= m_limits.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // The connection owns its socket and outlives this server if a command is running.
        socket->setParent(nullptr);
        m_connections.append(new CommandConnection(socket, m_window, m_limits));
    }
}

int CommandServer::liveConnections() {
    m_connections.removeIf([](const QPointer<CommandConnection>& connection) { return connection.isNull(); });
    return static_cast<int>(m_connections.size());
}

} // namespace quillmark::ipc
