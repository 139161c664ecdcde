#include "core/Error.h"
#include "ipc/WindowMessages.h"

#include <QPointer>
#include <QVariant>
#include <map>
#include <mutex>

namespace quillmark::ipc {

namespace {

struct WindowEntry {
    QObject* object = nullptr; // identity only: compared, never dereferenced once dead
    QPointer<QObject> alive;
    WindowProcedure procedure = nullptr;
};

// Handle → window. Guarded so that a look-up never races a destruction on another thread;
// the lock is never held while a procedure runs, since procedures may destroy windows.
struct Registry {
    std::mutex mutex;
    std::map<WindowHandle, WindowEntry> windows;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// The living object behind a handle, or null.
QObject* windowObject(WindowHandle hWnd) {
    Registry& reg = registry();
    const std::lock_guard lock(reg.mutex);
    const auto found = reg.windows.find(hWnd);
    return found == reg.windows.end() ? nullptr : found->second.alive.data();
}

void forgetWindow(WindowHandle handle, const QObject* object) {
    Registry& reg = registry();
    const std::lock_guard lock(reg.mutex);
    const auto found = reg.windows.find(handle);
    if (found != reg.windows.end() && found->second.object == object) {
        reg.windows.erase(found);
    }
}

} // namespace

std::int32_t DefWindowProc(WindowHandle, std::uint32_t, std::int32_t, std::intptr_t) {
    return 0;
}

void registerWindow(QObject* window, WindowHandle handle, WindowProcedure procedure) {
    if (window == nullptr || handle == 0) {
        throw core::Error(QStringLiteral("A window needs an object and a handle other than 0"));
    }
    {
        Registry& reg = registry();
        const std::lock_guard lock(reg.mutex);
        WindowEntry& entry = reg.windows[handle];
        if (!entry.alive.isNull() && entry.alive.data() != window) {
            throw core::Error(QStringLiteral("The window handle %1 is already taken").arg(handle));
        }
        entry.object = window;
        entry.alive = window;
        entry.procedure = procedure == nullptr ? &DefWindowProc : procedure;
    }
    QObject::connect(window, &QObject::destroyed, [handle, window] { forgetWindow(handle, window); });
}

void unregisterWindow(WindowHandle handle) {
    Registry& reg = registry();
    const std::lock_guard lock(reg.mutex);
    reg.windows.erase(handle);
}

bool IsWindow(WindowHandle hWnd) {
    return windowObject(hWnd) != nullptr;
}

void SetProp(WindowHandle hWnd, const char* name, std::intptr_t value) {
    if (QObject* window = windowObject(hWnd)) {
        window->setProperty(name, QVariant::fromValue(static_cast<qint64>(value)));
    }
}

std::intptr_t GetProp(WindowHandle hWnd, const char* name) {
    const QObject* window = windowObject(hWnd);
    if (window == nullptr) {
        return 0;
    }
    return static_cast<std::intptr_t>(window->property(name).value<qint64>());
}

WindowProcedure GetWindowProc(WindowHandle hWnd) {
    Registry& reg = registry();
    const std::lock_guard lock(reg.mutex);
    const auto found = reg.windows.find(hWnd);
    if (found == reg.windows.end() || found->second.alive.isNull()) {
        return nullptr;
    }
    return found->second.procedure;
}

WindowProcedure SetWindowProc(WindowHandle hWnd, WindowProcedure procedure) {
    Registry& reg = registry();
    const std::lock_guard lock(reg.mutex);
    const auto found = reg.windows.find(hWnd);
    if (found == reg.windows.end() || found->second.alive.isNull() || procedure == nullptr) {
        return nullptr;
    }
    const WindowProcedure previous = found->second.procedure;
    found->second.procedure = procedure;
    return previous;
}

std::intptr_t procedureValue(WindowProcedure procedure) {
    return reinterpret_cast<std::intptr_t>(procedure);
}

WindowProcedure procedureFromValue(std::intptr_t value) {
    return reinterpret_cast<WindowProcedure>(value); // NOLINT(performance-no-int-to-ptr)
}

std::int32_t CallWindowProc(WindowProcedure procedure, WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam,
                            std::intptr_t lParam) {
    return procedure == nullptr ? 0 : procedure(hWnd, uMsg, wParam, lParam);
}

std::int32_t SendMessage(WindowHandle hWnd, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t lParam) {
    // The procedure is copied out first: it may unregister or destroy the window while it runs.
    return CallWindowProc(GetWindowProc(hWnd), hWnd, uMsg, wParam, lParam);
}

} // namespace quillmark::ipc
