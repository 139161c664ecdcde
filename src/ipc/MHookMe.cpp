#include "ipc/MHookMe.h"

namespace quillmark::ipc::MHookMe {

void Hook(WindowHandle hWnd, IHookSink& sink) {
    SetProp(hWnd, ObjectPointerProperty, reinterpret_cast<std::intptr_t>(&sink));
    const WindowProcedure old = GetWindowProc(hWnd);
    SetProp(hWnd, OldWindowProcProperty, procedureValue(old));
    SetWindowProc(hWnd, &HookWindowProc);
}

void Unhook(WindowHandle hWnd) {
    const std::intptr_t old = GetProp(hWnd, OldWindowProcProperty);
    if (old != 0) {
        SetWindowProc(hWnd, procedureFromValue(old));
    }
}

std::int32_t CallOldWindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam) {
    return CallWindowProc(procedureFromValue(GetProp(hWnd, OldWindowProcProperty)), hWnd, uMsg, wParam, lParam);
}

std::int32_t HookWindowProc(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam) {
    const std::intptr_t pointer = GetProp(hWnd, ObjectPointerProperty);
    if (pointer == 0) {
        return 0;
    }
    // The property holds the sink's address as a number.
    auto* sink = reinterpret_cast<IHookSink*>(pointer); // NOLINT(performance-no-int-to-ptr)
    // The sink gets references to this procedure's own copies of the arguments.
    WindowHandle window = hWnd;
    std::uint32_t message = uMsg;
    std::int32_t w = wParam;
    std::intptr_t l = lParam;
    try {
        return sink->WindowProc(window, message, w, l);
    } catch (...) {
        // A failing sink loses its window from the next message on; this one results in 0.
        try {
            Unhook(hWnd);
        } catch (...) {
        }
        return 0;
    }
}

} // namespace quillmark::ipc::MHookMe
