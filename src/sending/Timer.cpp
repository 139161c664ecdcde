#include "sending/Timer.h"

#include "campaign/CState.h"
#include "core/Error.h"
#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "diagnostics/Timestamp.h"
#include "mail/RDOMail.h"
#include "sending/ApplicationTimer.h"
#include "sending/Arithmetic.h"
#include "sending/Notification.h"
#include "sending/ProgressWindow.h"
#include "sending/SendToOneRecipient.h"
#include "sending/Submission.h"
#include "settings/SettingsKeys.h"

#include <limits>

namespace quillmark::sending {

namespace {

using campaign::CState;
using diagnostics::LogMessage;
using diagnostics::LogReport;

const QString kCancelled = QStringLiteral("Cancelled");

// The tick's failures carry the number of the step that was running.
struct Step {
    int number = 2;
};

// Makes sure the campaign state exists and is loaded. False when a load failed.
bool ensureLoaded(std::shared_ptr<CState>& state, Step& step) {
    step.number = 4;
    auto& shared = CState::shared();
    if (!shared) {
        shared = std::make_shared<CState>();
        state = shared;
        return !state->Initialize() || state->Load();
    }
    state = shared;
    step.number = 6;
    return state->IsLoaded() || state->Load();
}

void writeReportHeader(const CState& state) {
    const auto original = state.myOriginalRDOMail();
    if (!original) {
        throw core::Error(QStringLiteral("The campaign's template message is not loaded"));
    }
    LogReport(QStringLiteral("*** Starting New Campaign ***"));
    LogReport(QStringLiteral("Name: ") + original->Subject());
    LogReport(QStringLiteral("Date: ") + diagnostics::nowText());
}

void showProgress(const CState& state, std::int32_t index) {
    ProgressWindow* window = timerWindow();
    if (window == nullptr) {
        return;
    }
    if (const auto list = state.recipientsList()) {
        const std::int32_t count = list->length();
        window->setProgressMaximum(count == 0 ? checkedAdd(index, 1) : count == 1 ? 2 : count - 1);
        window->setProgressMinimum(0);
        window->setProgressValue(index);
    }
    window->setCampaignCaption(state.campaignName());
}

std::shared_ptr<const campaign::RecipientList> requireRecipients(const CState& state) {
    auto list = state.recipientsList();
    if (!list) {
        throw core::Error(QStringLiteral("The campaign has no recipient list (its data file could not be read)"));
    }
    return list;
}

// A negative index means the campaign was completed or cancelled. Sending on would start it
// again from its first recipient and mail everyone twice, so the tick refuses.
void refuseNegativeIndex(std::int32_t index) {
    LogReport(QStringLiteral("Not sending: the campaign has no next recipient (recipient index %1); it was "
                             "completed or cancelled")
                  .arg(index));
    LogMessage(QStringLiteral("Timer"), QStringLiteral("Stopped: recipient index %1").arg(index));
    settings::write(settings::keys::SendState, QStringLiteral("Idle"));
    if (ProgressWindow* window = timerWindow()) {
        window->setProgressCaption(QStringLiteral("Idle"));
        window->setEmailingCaption(QString());
        window->setCancelEnabled(false);
        window->setPauseEnabled(false);
        window->setResumeEnabled(false);
    }
}

void completeCampaign(const CState& state) {
    const QString finished = diagnostics::nowText();
    LogReport(QStringLiteral("Finished at ") + finished);
    LogMessage(QStringLiteral("Timer"), QStringLiteral("Finished campaign"));
    settings::write(settings::keys::RecipientIndex, -1);
    settings::write(settings::keys::SendState, QStringLiteral("Completed"));
    if (ProgressWindow* window = timerWindow()) {
        window->setEmailingCaption(QString());
        window->setProgressCaption(QStringLiteral("Finished sending at ") + finished);
        window->setProgressValue(window->progressMaximum());
        window->setCancelEnabled(false);
        window->setPauseEnabled(false);
        window->setResumeEnabled(false);
        window->showWindow();
    }
    resetSendCounter();
    if (state.EmailWhenFinished() != 0) {
        SendFinishedNotification();
    }
}

void advance(const CState& state) {
    settings::write(settings::keys::RecipientIndex, checkedAdd(state.RecipientIndex(), 1));
    const std::int32_t seconds = state.SendMessageEveryNSeconds();
    LogMessage(QStringLiteral("Timer"), QStringLiteral("Delaying %1 seconds").arg(seconds));
    SetApplicationTimer(checkedMultiply(seconds, 1000));
}

void runTick(Step& step) {
    step.number = 2;
    KillApplicationTimer();

    std::shared_ptr<CState> state; // keeps the state alive even if the window unloads it
    if (!ensureLoaded(state, step)) {
        closeTimerWindow();
        return;
    }
    step.number = 8;
    if (state->SendState() == kCancelled) {
        LogReport(QStringLiteral("Cancellation requested by user, exiting"));
        closeTimerWindow();
        return;
    }
    step.number = 10;
    if (state->SendState() == QStringLiteral("Paused")) {
        LogReport(QStringLiteral("Pause requested by user, exiting"));
        return;
    }
    step.number = 12;
    const std::int32_t index = state->RecipientIndex();
    if (index == 0) {
        writeReportHeader(*state);
    }
    step.number = 14;
    if (index < 0) {
        refuseNegativeIndex(index);
        return;
    }
    showProgress(*state, index);
    const auto list = requireRecipients(*state);
    const bool noRecipients = list->length() == 0;
    if (noRecipients) {
        LogReport(QStringLiteral("No recipients specified"));
    } else if (index >= list->length()) {
        LogMessage(
            QStringLiteral("Timer"),
            QStringLiteral("Recipient index %1 is past the last of %2 recipients").arg(index).arg(list->length()));
    } else {
        step.number = 16;
        SendToOneRecipient(list->item(index));
        if (timerWindowUnloaded()) {
            return;
        }
    }

    step.number = 19;
    const std::int32_t count = list->length();
    const bool finished = noRecipients || (state->SendState() != kCancelled && state->RecipientIndex() >= count - 1);
    if (finished) {
        completeCampaign(*state);
    } else {
        advance(*state);
    }
}

} // namespace

void Timer() {
    Step step;
    try {
        runTick(step);
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::executableSource(u"Timer"), step.number, failure);
    }
}

} // namespace quillmark::sending
