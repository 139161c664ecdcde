#pragma once

#include "sending/ProgressWindow.h"

#include <QWidget>
#include <functional>

class QCloseEvent;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quillmark::app {

class ElidedLabel;

// The progress window, the process's only window: which campaign is being sent, the address
// being e-mailed, the send state and a progress bar, with Cancel, Pause, Resume and OK. It
// holds no campaign logic: start-up, the button handlers and the unload step are attached by
// the application; the campaign loop writes through the ProgressWindow interface.
class frmMain : public QWidget, public sending::ProgressWindow {
    Q_OBJECT
public:
    // What the buttons do. A click of a button runs its handler; an empty handler does nothing.
    struct ClickHandlers {
        std::function<void()> cmdCancel_Click;
        std::function<void()> cmdPause_Click;
        std::function<void()> cmdResume_Click;
        std::function<void()> cmdOK_Click;
    };

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    void setClickHandlers(ClickHandlers handlers);
    // Runs once, when a close request has been granted, before the window goes away.
    void setUnloadStep(std::function<void()> step);

    // Enables Cancel, Pause and Resume, then disables those the state read at start-up rules
    // out. The state word is compared exactly; OK is never touched.
    void applyStartupButtonStates(const QString& state);

    // sending::ProgressWindow
    void setCampaignCaption(const QString& caption) override;
    void setEmailingCaption(const QString& caption) override;
    void setProgressCaption(const QString& caption) override;
    void setProgressMaximum(int maximum) override;
    void setProgressMinimum(int minimum) override;
    void setProgressValue(int value) override;
    [[nodiscard]] int progressMaximum() const override;
    void setCancelEnabled(bool enabled) override;
    void setPauseEnabled(bool enabled) override;
    void setResumeEnabled(bool enabled) override;
    void showWindow() override;
    bool requestClose() override;

public Q_SLOTS:
    // The buttons' handlers; the add-in's commands call them directly, whatever the buttons show.
    void cmdCancel_Click();
    void cmdPause_Click();
    void cmdResume_Click();
    void cmdOK_Click();

protected:
    // The close request: refused while the campaign is sending (the window only hides).
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void connectButtons();
    [[nodiscard]] bool closeIsRefused() const;
    void runUnloadStep();

    QGroupBox* m_frame = nullptr;
    QLabel* m_lblCampaign = nullptr;
    ElidedLabel* m_lblCampaignValue = nullptr;
    QLabel* m_lblProgress = nullptr;
    ElidedLabel* m_lblProgressValue = nullptr;
    QLabel* m_lblEmailing = nullptr;
    ElidedLabel* m_lblEmailingValue = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdPause = nullptr;
    QPushButton* m_cmdResume = nullptr;
    QPushButton* m_cmdOK = nullptr;

    ClickHandlers m_handlers;
    std::function<void()> m_unloadStep;
};

} // namespace quillmark::app
