#pragma once

#include "ipc/WindowMessages.h"

#include <cstdint>

namespace quillmark::ipc {

// An object that sees every message of a window hooked through MHookMe. It passes a message on
// with MHookMe::CallOldWindowProc and chooses the result itself. It reports a failure by
// throwing (the failing status of the operation, never the message result): the hook then
// unhooks the window for good.
class IHookSink {
public:
    virtual ~IHookSink() = default;

    virtual std::int32_t WindowProc(WindowHandle& hWnd, std::uint32_t& uMsg, std::int32_t& wParam,
                                    std::intptr_t& lParam) = 0;

protected:
    IHookSink() = default;
    IHookSink(const IHookSink&) = default;
    IHookSink& operator=(const IHookSink&) = default;
};

} // namespace quillmark::ipc
