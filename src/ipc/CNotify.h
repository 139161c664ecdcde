#pragma once

#include "ipc/IHookSink.h"
#include "ipc/WindowMessages.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace quillmark::ipc {

// The receiving end of the controller's commands: hooks the progress window, passes every
// message on unchanged, and turns each WM_COPYDATA into the event OutlookMessage(code, text).
// Always owned through a shared_ptr: a handler that releases the receiver from inside its own
// event must not pull it away under the running call.
class CNotify final : public IHookSink, public std::enable_shared_from_this<CNotify> {
public:
    // The handler of OutlookMessage; both arguments by reference, as the window receives them.
    using OutlookMessageHandler = std::function<void(std::int32_t& code, QString& text)>;

    // The receive buffer: a payload of up to 254 bytes always keeps a terminating NUL.
    static constexpr std::size_t kBufferSize = 255;

    [[nodiscard]] static std::shared_ptr<CNotify> create();
    ~CNotify() override;
    CNotify(const CNotify&) = delete;
    CNotify& operator=(const CNotify&) = delete;

    // Unhooks the window hooked before, then hooks `h` if it is a window; otherwise the
    // handle read back stays the old one.
    void setHWnd(WindowHandle h);
    [[nodiscard]] WindowHandle hWnd() const noexcept { return m_hWnd; }

    // Raised synchronously for every WM_COPYDATA, from inside the window's message handling.
    void setOutlookMessageHandler(OutlookMessageHandler handler);

    std::int32_t WindowProc(WindowHandle& hWnd, std::uint32_t& uMsg, std::int32_t& wParam,
                            std::intptr_t& lParam) override;

    // The command text a copy-data message carries: at most kBufferSize bytes, decoded as
    // UTF-8 (invalid sequences replaced), up to the first NUL.
    [[nodiscard]] static QString textOf(const COPYDATASTRUCT& data);

private:
    CNotify() = default;
    void raiseOutlookMessage(std::int32_t code, QString text);

    WindowHandle m_hWnd = 0;
    OutlookMessageHandler m_outlookMessage;
};

} // namespace quillmark::ipc
