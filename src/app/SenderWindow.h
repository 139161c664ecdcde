#pragma once

#include "app/SingleInstance.h"
#include "app/frmMain.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace quillmark::ipc {
class CNotify;
class CommandServer;
} // namespace quillmark::ipc

namespace quillmark::app {

// Ends the process immediately: no close request, no unload step, no clean-up.
[[noreturn]] void endAtOnce();

// The sending process's window with its behaviour: the start-up sequence, the four buttons, the
// controller's numbered commands and the unload step.
class SenderWindow {
public:
    // `endProcess` runs where the process ends at once (a second instance, a failed logon, OK or
    // suspend with no window left to close); tests pass one that only records the call.
    explicit SenderWindow(std::function<void()> endProcess = endAtOnce);
    ~SenderWindow();
    SenderWindow(const SenderWindow&) = delete;
    SenderWindow& operator=(const SenderWindow&) = delete;

    // The start-up sequence. Ends the process at once for a second instance or a failed logon.
    void Form_Load();

    [[nodiscard]] frmMain& window() noexcept { return m_window; }
    [[nodiscard]] std::int32_t handle() const noexcept { return m_handle; }

private:
    void startUp();
    void attachReceiver();
    void showStoredState(const QString& state);
    void applyPriority();

    void cmdCancel_Click();
    void cmdPause_Click();
    void cmdResume_Click();
    void cmdOK_Click();
    void m_notify_OutlookMessage(std::int32_t& code, QString& text);
    void suspend();
    void unloadStep();

    frmMain m_window;
    std::int32_t m_handle = 0;
    SingleInstance m_instance;
    std::shared_ptr<ipc::CNotify> m_notify;
    std::unique_ptr<ipc::CommandServer> m_commandServer;
    std::function<void()> m_endProcess;
};

} // namespace quillmark::app
