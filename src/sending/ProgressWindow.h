#pragma once

#include <QString>

namespace quillmark::sending {

// The items of the progress window that the campaign loop writes. The window implements it
// with real widgets; tests record what was written.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    ProgressWindow() = default;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    virtual void setCampaignCaption(const QString& caption) = 0; // lblCampaignValue
    virtual void setEmailingCaption(const QString& caption) = 0; // lblEmailingValue
    virtual void setProgressCaption(const QString& caption) = 0; // lblProgressValue

    // ProgressBar1: range and position.
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressMinimum(int minimum) = 0;
    virtual void setProgressValue(int value) = 0;
    [[nodiscard]] virtual int progressMaximum() const = 0;

    virtual void setCancelEnabled(bool enabled) = 0; // cmdCancel
    virtual void setPauseEnabled(bool enabled) = 0;  // cmdPause
    virtual void setResumeEnabled(bool enabled) = 0; // cmdResume

    // Shows the window, not modally.
    virtual void showWindow() = 0;
    // Asks the window to close. While the campaign is sending the window only hides; otherwise
    // it unloads and the process ends. True when the window was unloaded.
    virtual bool requestClose() = 0;
};

// The timer's window reference: the window that the loop updates and closes. Empty until
// start-up or Resume sets it; cleared when the window unloads.
[[nodiscard]] ProgressWindow* timerWindow();
void setTimerWindow(ProgressWindow* window);

// Asks the referenced window to close (nothing happens without one). True when it unloaded.
bool closeTimerWindow();
// Whether a close asked for through the reference has unloaded the window.
[[nodiscard]] bool timerWindowUnloaded();

} // namespace quillmark::sending
