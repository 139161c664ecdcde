#pragma once

#include "ipc/IHookSink.h"
#include "ipc/WindowMessages.h"

#include <cstdint>

// Subclassing of a window for a sink. All bookkeeping lives on the window as two properties,
// "ObjectPointer" (the sink, not kept alive by the hook) and "OldWindowProc" (the procedure in
// place before hooking); neither is ever removed.

namespace quillmark::ipc::MHookMe {

inline constexpr const char* ObjectPointerProperty = "ObjectPointer";
inline constexpr const char* OldWindowProcProperty = "OldWindowProc";

// Never twice on one window without Unhook in between: the second call would save
// HookWindowProc itself as the old procedure.
void Hook(WindowHandle hWnd, IHookSink& sink);
// Puts the saved procedure back; harmless when repeated or when the window was never hooked.
void Unhook(WindowHandle hWnd);
// Runs the saved procedure on one message.
std::int32_t CallOldWindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam);
// The procedure Hook installs: hands every message to the sink; never throws.
std::int32_t HookWindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam);

} // namespace quillmark::ipc::MHookMe
