#pragma once

#include <cstdint>

class QObject;

// The window-message layer the command channel is built on: every window has a handle, a
// current message procedure that can be read and replaced, and named properties. It plays the
// part of the desktop's window procedures, so the subclassing and the receiver above it keep
// their original shape. Windows are QObjects; all calls happen on the window's thread.

namespace quillmark::ipc {

// A window's identifier as published in ExternalQuillmarkHwnd; 0 is never a window.
using WindowHandle = std::int32_t;

// A message procedure: window, message number, wParam, lParam; returns the message's result.
using WindowProcedure = std::int32_t (*)(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam,
                                         std::intptr_t lParam);

inline constexpr std::uint32_t WM_COPYDATA = 0x004A;

// What a copy-data message's lParam points at, valid for the duration of the call.
struct COPYDATASTRUCT {
    std::uint32_t dwData = 0;
    std::uint32_t cbData = 0;
    const void* lpData = nullptr;
};

// The procedure a window starts with when none is given: every message results in 0.
std::int32_t DefWindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam);

// Makes `window` reachable under `handle` with `procedure` as its message procedure. The entry
// goes away by itself when the object is destroyed. Fails for handle 0, a null window or a
// handle that a different live window already holds.
void registerWindow(QObject* window, WindowHandle handle, WindowProcedure procedure = &DefWindowProc);
// Removes the entry early; properties stay on the object. Unknown handles are ignored.
void unregisterWindow(WindowHandle handle);

// True while `hWnd` names a registered, living window.
[[nodiscard]] bool IsWindow(WindowHandle hWnd);

// Named per-window values (numbers, as window properties are). Setting on a window that does
// not exist does nothing; reading a missing property or window gives 0.
void SetProp(WindowHandle hWnd, const char* name, std::intptr_t value);
[[nodiscard]] std::intptr_t GetProp(WindowHandle hWnd, const char* name);

// The window's current message procedure (null when there is no such window), and its
// replacement, which returns the procedure that was in place (null when nothing changed).
[[nodiscard]] WindowProcedure GetWindowProc(WindowHandle hWnd);
WindowProcedure SetWindowProc(WindowHandle hWnd, WindowProcedure procedure);

// A procedure kept in a property travels as a number.
[[nodiscard]] std::intptr_t procedureValue(WindowProcedure procedure);
[[nodiscard]] WindowProcedure procedureFromValue(std::intptr_t value);

// Calls `procedure` with the message; a null procedure gives 0.
std::int32_t CallWindowProc(WindowProcedure procedure, WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam,
                            std::intptr_t lParam);
// Runs the window's current procedure synchronously and returns its result; 0 when `hWnd`
// is not a window.
std::int32_t SendMessage(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam);

} // namespace quillmark::ipc
