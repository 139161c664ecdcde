#pragma once

#include "ipc/CommandLimits.h"
#include "ipc/FrameDecoder.h"
#include "ipc/WindowMessages.h"

#include <QObject>
#include <QTimer>

class QLocalSocket;

namespace quillmark::ipc {

// One client of a command server: reads one request without ever blocking, hands it to the
// window as WM_COPYDATA, answers with the result and goes away by itself. It does not depend
// on its server, so a command that tears the server down (the window closing) still gets its
// answer out.
class CommandConnection final : public QObject {
public:
    // Takes ownership of the connected `socket`.
    CommandConnection(QLocalSocket* socket, WindowHandle window, const CommandLimits& limits);
    ~CommandConnection() override;
    CommandConnection(const CommandConnection&) = delete;
    CommandConnection& operator=(const CommandConnection&) = delete;

    // True while the window's procedure runs this connection's command.
    [[nodiscard]] bool isRunning() const noexcept { return m_running; }

private:
    void readRequest();
    void runCommand();
    [[nodiscard]] bool dispatch(std::int32_t& result);
    void answer(std::int32_t result);
    void refuse();

    QLocalSocket* m_socket;
    WindowHandle m_window;
    FrameDecoder m_decoder;
    QTimer m_deadline;
    bool m_scheduled = false;
    bool m_running = false;
    bool m_done = false;
};

} // namespace quillmark::ipc
