#include "sending/Notification.h"

#include "campaign/CState.h"
#include "core/Error.h"
#include "mail/RDOAddressEntry.h"
#include "mail/RDOFolder.h"
#include "mail/RDOItems.h"
#include "mail/RDOMail.h"
#include "mail/RDORecipients.h"
#include "mail/RDOSession.h"
#include "sending/Require.h"
#include "sending/Submission.h"

#include <functional>

namespace quillmark::sending {

namespace {

// Runs one step of the notification; its failure is deliberately not reported anywhere,
// because the campaign is complete whatever happens here.
void attempt(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception&) { // NOLINT(bugprone-empty-catch): best effort by design
    }
}

} // namespace

void SendFinishedNotification() {
    const auto state = campaign::CState::shared();
    if (!state) {
        return;
    }
    const QString name = state->campaignName();
    std::shared_ptr<mail::RDOMail> message;
    QString address;
    attempt([&] {
        message =
            require(state->myRDOOutboxFolder(), QStringLiteral("no Outbox")).items()->add(QStringLiteral("IPM.Note"));
    });
    attempt([&] { address = require(state->myRDOSession(), QStringLiteral("no session")).currentUser()->address(); });
    attempt([&] { require(message, QStringLiteral("no message")).Recipients()->Add(address); });
    attempt([&] { require(message, QStringLiteral("no message")).Recipients()->ResolveAll(); });
    attempt([&] {
        require(message, QStringLiteral("no message"))
            .setBody(QStringLiteral("Campaign '") + name + QStringLiteral("' has finished.\r\nSee '") +
                     state->reportName() + QStringLiteral("' for details.\r\n\r\n"));
    });
    attempt([&] {
        require(message, QStringLiteral("no message"))
            .setSubject(QStringLiteral("Quillmark campaign '") + name + QStringLiteral("'"));
    });
    attempt([&] { require(message, QStringLiteral("no message")).Send(); });
    attempt([] { DoSendReceive(); });
}

} // namespace quillmark::sending
