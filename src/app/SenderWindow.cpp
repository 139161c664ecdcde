#include "app/SenderWindow.h"

#include "campaign/CState.h"
#include "core/Error.h"
#include "core/Executable.h"
#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "ipc/CNotify.h"
#include "ipc/CommandServer.h"
#include "ipc/WindowMessages.h"
#include "mail/RDOMail.h"
#include "priority/ProcessPriority.h"
#include "sending/ApplicationTimer.h"
#include "sending/ProgressWindow.h"
#include "settings/SettingsKeys.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace quillmark::app {

namespace {

using diagnostics::LogMessage;
using settings::keys::SendState;

const QString kSending = QStringLiteral("Sending");
const QString kProcessSource = QStringLiteral("QuillmarkExternal");

} // namespace

void endAtOnce() {
    std::fflush(nullptr);
    ::_exit(0);
}

SenderWindow::SenderWindow(std::function<void()> endProcess) : m_endProcess(std::move(endProcess)) {
    m_window.setClickHandlers({[this] { cmdCancel_Click(); }, [this] { cmdPause_Click(); },
                               [this] { cmdResume_Click(); }, [this] { cmdOK_Click(); }});
    m_window.setUnloadStep([this] { unloadStep(); });
}

SenderWindow::~SenderWindow() {
    m_commandServer.reset();
    m_notify.reset();
    sending::setTimerWindow(nullptr);
}

void SenderWindow::Form_Load() {
    try {
        startUp();
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::executableSource(u"Form_Load"), failure);
    }
}

void SenderWindow::startUp() {
    if (!m_instance.acquire()) {
        // The settings application name is still empty, so this line is written nowhere: the
        // running instance and the store stay untouched.
        diagnostics::LogError(QStringLiteral("Warning: QuillmarkExternal is already running."),
                              diagnostics::executableSource(u"Form_Load"));
        m_endProcess();
        return;
    }
    auto& state = campaign::CState::shared();
    if (!state) {
        state = std::make_shared<campaign::CState>();
        if (!state->Initialize()) {
            m_endProcess();
            return;
        }
    }
    attachReceiver();
    settings::write(settings::keys::ExternalQuillmarkHwnd, m_handle);

    const QString stored = settings::read(SendState);
    showStoredState(stored);
    applyPriority();
    LogMessage(kProcessSource, QStringLiteral("State: ") + stored);
    if (stored == kSending) {
        LogMessage(kProcessSource, QStringLiteral("SetApplicationTimer being called"));
        sending::setTimerWindow(&m_window);
        sending::SetApplicationTimer(100);
        LogMessage(kProcessSource, QStringLiteral("SetApplicationTimer called"));
    }
}

// Hooks the window so the controller's commands reach it, then starts listening for them.
void SenderWindow::attachReceiver() {
    m_handle = static_cast<std::int32_t>(m_window.winId());
    ipc::registerWindow(&m_window, m_handle);
    m_notify = ipc::CNotify::create();
    m_notify->setOutlookMessageHandler(
        [this](std::int32_t& code, QString& text) { m_notify_OutlookMessage(code, text); });
    m_notify->setHWnd(m_handle);
    m_commandServer = std::make_unique<ipc::CommandServer>(m_handle);
}

void SenderWindow::showStoredState(const QString& state) {
    m_window.setCampaignCaption(QString());
    if (const auto original = campaign::CState::shared()->myOriginalRDOMail()) {
        m_window.setCampaignCaption(original->Subject());
    }
    m_window.setProgressCaption(state);
    m_window.setEmailingCaption(QString());
    m_window.applyStartupButtonStates(state);
}

void SenderWindow::applyPriority() {
    const QString name = settings::read(settings::keys::EXEPriorityName, priority::ProcessPriorityName(64));
    priority::ProcessPrioritySet(0, m_handle, priority::ProcessPrioritiesFromName(name));
}

void SenderWindow::cmdCancel_Click() {
    m_window.setProgressCaption(QStringLiteral("Cancelled"));
    settings::write(SendState, QStringLiteral("Cancelled"));
    settings::write(settings::keys::RecipientIndex, -1);
    sending::KillApplicationTimer();
    m_window.setPauseEnabled(false);
    m_window.setResumeEnabled(false);
}

void SenderWindow::cmdPause_Click() {
    settings::write(SendState, QStringLiteral("Paused"));
    sending::KillApplicationTimer();
    m_window.setProgressCaption(QStringLiteral("Paused"));
    m_window.setResumeEnabled(true);
    m_window.setPauseEnabled(false);
}

void SenderWindow::cmdResume_Click() {
    settings::write(SendState, kSending);
    m_window.setProgressCaption(kSending);
    m_window.setPauseEnabled(true);
    m_window.setResumeEnabled(false);
    sending::setTimerWindow(&m_window);
    sending::SetApplicationTimer(100);
}

void SenderWindow::cmdOK_Click() {
    int step = 2;
    try {
        const QString state = settings::read(SendState);
        if (state != QStringLiteral("Cancelled") && state != QStringLiteral("Completed")) {
            step = 6;
            m_window.hide();
            return;
        }
        LogMessage(QStringLiteral("cmdOK_Click"), QStringLiteral("SendStateOnExit: ") + state);
        step = 4;
        if (sending::timerWindow() == nullptr) {
            m_endProcess();
            return;
        }
        sending::closeTimerWindow();
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::productSource(u"cmdOK"), step, failure);
    }
}

void SenderWindow::m_notify_OutlookMessage(std::int32_t& code, QString& /*text*/) {
    const QString source = QStringLiteral("OutlookMessage");
    switch (code) {
    case 1:
        LogMessage(source, QStringLiteral("Show cmd from Outlook"));
        m_window.showWindow();
        break;
    case 2:
        LogMessage(source, QStringLiteral("Suspend cmd from Outlook"));
        suspend();
        break;
    case 3:
        LogMessage(source, QStringLiteral("Resuming cmd from Outlook"));
        m_window.cmdResume_Click();
        break;
    case 4:
        LogMessage(source, QStringLiteral("Halt cmd from Outlook"));
        m_window.cmdCancel_Click();
        break;
    default:
        break;
    }
}

void SenderWindow::suspend() {
    sending::KillApplicationTimer();
    settings::write(SendState, QStringLiteral("Suspended"));
    if (sending::timerWindow() == nullptr) {
        m_endProcess();
        return;
    }
    sending::closeTimerWindow();
}

void SenderWindow::unloadStep() {
    m_notify.reset(); // unhooks the window (after the command being handled, if any)
    campaign::CState::shared().reset();
    sending::setTimerWindow(nullptr);
    // A controller that saw the command socket close may start the next sender at once.
    m_instance.release();
    m_commandServer.reset();
    // The window may have been hidden, so its closing need not be the "last window closed":
    // leave the event loop once the current tick or command has finished.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace quillmark::app
