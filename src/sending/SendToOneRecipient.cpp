#include "sending/SendToOneRecipient.h"

#include "campaign/CState.h"
#include "core/Error.h"
#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "mail/RDOAccount.h"
#include "mail/RDOFolder.h"
#include "mail/RDOItems.h"
#include "mail/RDOMail.h"
#include "mail/RDORecipients.h"
#include "sending/DoNotSend.h"
#include "sending/Personalisation.h"
#include "sending/ProgressWindow.h"
#include "sending/Require.h"
#include "sending/Submission.h"
#include "settings/SettingsKeys.h"

namespace quillmark::sending {

namespace {

using campaign::CState;
using diagnostics::LogMessage;
using diagnostics::LogReport;

const QString kSource = QStringLiteral("SendToOneRecipient");

std::shared_ptr<mail::RDOMail> createCopy(const CState& state, int& step) {
    step = 2;
    auto copy = require(state.myRDOOutboxFolder(), QStringLiteral("The Outbox folder is not open"))
                    .items()
                    ->add(state.itemMessageClass());
    step = 4;
    const auto original = state.myOriginalRDOMail();
    require(original, QStringLiteral("The campaign's template message is not loaded")).CopyTo(copy);
    LogMessage(QStringLiteral("PrepareAndSend"), QStringLiteral("TypeName(myRDOMailCopy): ") + copy->typeName());
    LogMessage(QStringLiteral("PrepareAndSend"), QStringLiteral("myRDOMailCopy.MessageClass: ") + copy->MessageClass());
    LogMessage(QStringLiteral("PrepareAndSend"), QStringLiteral("myRDOMailCopy.Subject: ") + copy->Subject());
    step = 6;
    if (copy->MessageClass() == QStringLiteral("IPM.Appointment")) {
        copy->setSendAsICal(false);
    }
    step = 8;
    if (state.emailFormat() == QStringLiteral("HTML")) {
        copy->setHTMLBody(original->HTMLBody());
    }
    return copy;
}

void chooseAccount(const CState& state, mail::RDOMail& copy, int& step) {
    step = 320;
    const auto account = state.myOriginalRDOMail()->Account();
    if (account) {
        step = 322;
        LogMessage(kSource, QStringLiteral("Original account: ") + account->Name());
        step = 324;
        LogMessage(kSource, QStringLiteral("Sending account: ") +
                                require(copy.Account(), QStringLiteral("The message has no sending account")).Name());
        step = 326;
        copy.setAccount(account);
    } else {
        step = 328;
        LogMessage(kSource,
                   QStringLiteral("Sending with default account: ") + FetchDefaultAccountName(state.myRDOSession()));
    }
}

// Personalises and submits the copy; true when it was sent.
bool personaliseAndSubmit(const CState& state, const std::shared_ptr<mail::RDOMail>& copy, pugi::xml_node recipient,
                          const QString& address, int& step) {
    copy->Recipients()->AddEx(address, address, QStringLiteral("SMTP"), 1);
    if (ProgressWindow* window = timerWindow()) {
        window->setEmailingCaption(address);
    }
    step = 40;
    personaliseSubject(*copy, recipient);
    step = 44;
    personaliseBody(*copy, recipient, state.emailFormat());
    if (doNotSendRaised()) {
        LogReport(QStringLiteral("Skipped ") + address + QStringLiteral(" due to missing field"));
        return false;
    }
    step = 48;
    return PrepareAndSend(copy);
}

void reportOutcome(bool sent, const QString& address) {
    if (sent) {
        LogReport(QStringLiteral("Successfully sent to ") + address);
    } else if (settings::read(settings::keys::IncludeAllRecipientsInReport) != 0) {
        LogReport(QStringLiteral("Failed to send to ") + address);
    }
}

void honourCancellation(const CState& state) {
    if (state.SendState() == QStringLiteral("Cancelled")) {
        LogReport(QStringLiteral("Cancellation requested, exiting"));
        closeTimerWindow();
    }
}

} // namespace

bool SendToOneRecipient(pugi::xml_node recipient) {
    int step = 2;
    try {
        const auto state = CState::shared();
        const CState& campaign = require(state, QStringLiteral("The campaign state does not exist"));
        const auto copy = createCopy(campaign, step);
        chooseAccount(campaign, *copy, step);
        step = 34;
        const QString address = recipientAddress(recipient);
        if (address.isEmpty()) {
            LogMessage(
                kSource,
                QStringLiteral("Warning: Skipped blank email address at index %1").arg(campaign.RecipientIndex()));
        } else {
            reportOutcome(personaliseAndSubmit(campaign, copy, recipient, address, step), address);
        }
        step = 50;
        honourCancellation(campaign);
        return true;
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::executableSource(u"SendToOneRecipient"), step, failure);
        return false;
    }
}

} // namespace quillmark::sending
