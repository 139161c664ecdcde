#include "sending/ProgressWindow.h"

namespace quillmark::sending {

namespace {
ProgressWindow* g_timerWindow = nullptr;
bool g_unloaded = false;
} // namespace

ProgressWindow* timerWindow() {
    return g_timerWindow;
}

void setTimerWindow(ProgressWindow* window) {
    g_timerWindow = window;
    if (window != nullptr) {
        g_unloaded = false;
    }
}

bool closeTimerWindow() {
    if (g_timerWindow != nullptr && g_timerWindow->requestClose()) {
        g_unloaded = true;
    }
    return g_unloaded;
}

bool timerWindowUnloaded() {
    return g_unloaded;
}

} // namespace quillmark::sending
