#include "ipc/CNotify.h"

#include "core/Error.h"
#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "ipc/MHookMe.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillmark::ipc {

std::shared_ptr<CNotify> CNotify::create() {
    return std::shared_ptr<CNotify>(new CNotify());
}

CNotify::~CNotify() {
    // The window may be gone already (the receiver is often released while it closes);
    // unhooking a window that no longer exists does nothing.
    if (m_hWnd != 0) {
        MHookMe::Unhook(m_hWnd);
    }
}

void CNotify::setHWnd(WindowHandle h) {
    if (m_hWnd != 0) {
        MHookMe::Unhook(m_hWnd);
    }
    if (!IsWindow(h)) {
        return;
    }
    m_hWnd = h;
    MHookMe::Hook(h, *this);
    diagnostics::LogMessage(diagnostics::productSource(u"CNotify.Hwnd(Let)"),
                            QStringLiteral("Hooking Hwnd: ") + QString::number(h));
}

void CNotify::setOutlookMessageHandler(OutlookMessageHandler handler) {
    m_outlookMessage = std::move(handler);
}

std::int32_t CNotify::WindowProc(WindowHandle& hWnd, std::uint32_t& uMsg, std::int32_t& wParam, std::intptr_t& lParam) {
    // The handler may release the last owner of this receiver; it stays alive until we return.
    const std::shared_ptr<CNotify> self = weak_from_this().lock();

    if (uMsg != WM_COPYDATA) {
        return MHookMe::CallOldWindowProc(hWnd, uMsg, wParam, lParam);
    }
    const std::int32_t result = MHookMe::CallOldWindowProc(hWnd, uMsg, wParam, lParam);
    diagnostics::LogMessage(diagnostics::productSource(u"CNotify.WindowProc"),
                            QStringLiteral("Received WM_COPYDATA for Hwnd: ") + QString::number(hWnd));
    if (lParam == 0) {
        throw core::Error(QStringLiteral("WM_COPYDATA arrived without its data"));
    }
    COPYDATASTRUCT data;
    // lParam carries the structure's address, as the message defines it.
    std::memcpy(&data, reinterpret_cast<const void*>(lParam), sizeof data); // NOLINT(performance-no-int-to-ptr)
    raiseOutlookMessage(wParam, textOf(data));
    return result;
}

QString CNotify::textOf(const COPYDATASTRUCT& data) {
    std::array<char, kBufferSize> buffer{};
    const std::size_t count = std::min<std::size_t>(data.cbData, buffer.size());
    if (count > 0) {
        if (data.lpData == nullptr) {
            throw core::Error(QStringLiteral("WM_COPYDATA announced %1 bytes but carried none").arg(data.cbData));
        }
        std::memcpy(buffer.data(), data.lpData, count);
    }
    // The whole buffer is decoded and cut at the first NUL: a payload without one fills all
    // 255 bytes and has no terminator inside the buffer.
    const QString decoded = QString::fromUtf8(buffer.data(), static_cast<qsizetype>(buffer.size()));
    const qsizetype end = decoded.indexOf(QChar(u'\0'));
    return end < 0 ? decoded : decoded.left(end);
}

void CNotify::raiseOutlookMessage(std::int32_t code, QString text) {
    // A copy, so that a handler replacing itself keeps running safely.
    const OutlookMessageHandler handler = m_outlookMessage;
    if (handler) {
        handler(code, text);
    }
}

} // namespace quillmark::ipc
