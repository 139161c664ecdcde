#pragma once

#include "ipc/WindowMessages.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <vector>

namespace quillmark::ipc::test {

struct SeenMessage {
    WindowHandle hWnd = 0;
    std::uint32_t uMsg = 0;
    std::int32_t wParam = 0;
    std::intptr_t lParam = 0;
    bool operator==(const SeenMessage&) const = default;
};

// A window whose own procedure records every message it gets. Its result for WM_COPYDATA is
// copyDataResult(); for anything else a value that depends on the message, so that passing a
// message on unchanged can be told from not passing it.
class RecordingWindow {
public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    [[nodiscard]] WindowHandle handle() const noexcept { return m_handle; }
    [[nodiscard]] QObject* object() const noexcept { return m_object.get(); }
    // Destroys the window object early (the window "closes").
    void destroy() { m_object.reset(); }

    [[nodiscard]] static std::vector<SeenMessage>& seen();
    static std::int32_t& copyDataResult();
    [[nodiscard]] static std::int32_t expectedResult(std::uint32_t uMsg, std::int32_t wParam);
    static std::int32_t procedure(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam);

private:
    std::unique_ptr<QObject> m_object;
    WindowHandle m_handle;
};

// A handle no window has used in this process yet.
[[nodiscard]] WindowHandle freshHandle();

// Runs `work` on its own thread while this thread's event loop keeps serving, and gives back
// its result (or rethrows its failure). Fails the test if it takes longer than `limit`.
template <typename Work>
auto serveWhile(Work work, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto future = std::async(std::launch::async, std::move(work));
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready || clock.elapsed() > limit.count()) {
            loop.quit();
        }
    });
    poll.start(2);
    loop.exec();
    return future.get();
}

// Lets the event loop run for a while (connections closing, deferred deletes).
void spinEventLoop(std::chrono::milliseconds duration);

// What a raw client saw: the bytes the server sent, and whether it closed the connection.
struct RawOutcome {
    QByteArray received;
    bool closedByServer = false;
    bool connected = false;
};

// One piece of a raw request: bytes to write, then a pause.
struct RawStep {
    QByteArray bytes;
    std::chrono::milliseconds pauseAfter{0};
};

// Connects to `path`, writes the steps, then (unless `hangUp`) waits up to `waitForClose` for
// the server's answer or its close. Blocking; run it with serveWhile.
[[nodiscard]] RawOutcome rawExchange(const QString& path, const std::vector<RawStep>& steps, bool hangUp,
                                     std::chrono::milliseconds waitForClose);

// A header of a request with the given fields, and a whole request.
[[nodiscard]] QByteArray header(std::int32_t code, std::uint32_t dwData, std::uint32_t cbData);
[[nodiscard]] QByteArray request(std::int32_t code, const QByteArray& payload, std::uint32_t dwData = 0);

} // namespace quillmark::ipc::test
