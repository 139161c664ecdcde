#pragma once

#include "ipc/CommandLimits.h"
#include "ipc/WindowMessages.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <memory>

class QLocalServer;

namespace quillmark::ipc {

class CommandConnection;

// The window's command channel: listens at commandSocketPath(window), for this user only, and
// delivers every well-formed request to the window as a WM_COPYDATA message, synchronously on
// the thread that created the server (the window's), answering with the message's result. A
// client running as another user is cut off as it connects, before anything it sent is read,
// whatever the socket file's mode.
class CommandServer {
public:
    // Starts listening. A socket file left behind by a process that died is replaced; a live
    // one is never taken over: that fails, as does anything else at the path.
    explicit CommandServer(WindowHandle window, const CommandLimits& limits = {});
    // Stops listening and removes the socket file. A command that is running finishes and
    // still answers its client.
    ~CommandServer();
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    [[nodiscard]] WindowHandle window() const noexcept { return m_window; }
    [[nodiscard]] const QString& path() const noexcept { return m_path; }

private:
    void clearStaleSocket() const;
    void acceptConnections();
    [[nodiscard]] int liveConnections();

    WindowHandle m_window;
    CommandLimits m_limits;
    QString m_path;
    std::unique_ptr<QLocalServer> m_server;
    QList<QPointer<CommandConnection>> m_connections;
};

} // namespace quillmark::ipc
