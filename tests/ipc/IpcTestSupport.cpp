#include "IpcTestSupport.h"

#include "ipc/CommandFrame.h"

#include <QLocalSocket>
#include <QtEndian>
#include <atomic>
#include <thread>

namespace quillmark::ipc::test {

RecordingWindow::RecordingWindow() : m_object(std::make_unique<QObject>()), m_handle(freshHandle()) {
    seen().clear();
    copyDataResult() = 1;
    registerWindow(m_object.get(), m_handle, &procedure);
}

RecordingWindow::~RecordingWindow() = default;

std::vector<SeenMessage>& RecordingWindow::seen() {
    static std::vector<SeenMessage> messages;
    return messages;
}

std::int32_t& RecordingWindow::copyDataResult() {
    static std::int32_t result = 1;
    return result;
}

std::int32_t RecordingWindow::expectedResult(std::uint32_t uMsg, std::int32_t wParam) {
    if (uMsg == WM_COPYDATA) {
        return copyDataResult();
    }
    return static_cast<std::int32_t>(uMsg) * 3 + wParam;
}

std::int32_t RecordingWindow::procedure(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam,
                                        std::intptr_t lParam) {
    seen().push_back({hWnd, uMsg, wParam, lParam});
    return expectedResult(uMsg, wParam);
}

WindowHandle freshHandle() {
    static std::atomic<WindowHandle> next{0x4100};
    return next++;
}

void spinEventLoop(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

RawOutcome rawExchange(const QString& path, const std::vector<RawStep>& steps, bool hangUp,
                       std::chrono::milliseconds waitForClose) {
    RawOutcome outcome;
    QLocalSocket socket;
    socket.connectToServer(path);
    outcome.connected = socket.waitForConnected(2000);
    if (!outcome.connected) {
        return outcome;
    }
    for (const RawStep& step : steps) {
        if (socket.state() != QLocalSocket::ConnectedState) {
            break; // refused already
        }
        socket.write(step.bytes);
        socket.waitForBytesWritten(1000);
        std::this_thread::sleep_for(step.pauseAfter);
    }
    if (hangUp) {
        socket.abort();
        return outcome;
    }
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < waitForClose.count()) {
        socket.waitForReadyRead(20);
        outcome.received.append(socket.readAll());
    }
    outcome.received.append(socket.readAll());
    outcome.closedByServer = socket.state() != QLocalSocket::ConnectedState;
    return outcome;
}

QByteArray header(std::int32_t code, std::uint32_t dwData, std::uint32_t cbData) {
    QByteArray bytes(12, '\0');
    qToLittleEndian(static_cast<std::uint32_t>(code), bytes.data());
    qToLittleEndian(dwData, bytes.data() + 4);
    qToLittleEndian(cbData, bytes.data() + 8);
    return bytes;
}

QByteArray request(std::int32_t code, const QByteArray& payload, std::uint32_t dwData) {
    return header(code, dwData, static_cast<std::uint32_t>(payload.size())) + payload;
}

} // namespace quillmark::ipc::test
