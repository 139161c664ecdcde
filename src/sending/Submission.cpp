#include "sending/Submission.h"

#include "campaign/CState.h"
#include "core/Error.h"
#include "diagnostics/ErrorLine.h"
#include "diagnostics/Logging.h"
#include "mail/MAPIUtils.h"
#include "mail/RDOAccount.h"
#include "mail/RDOAccountList.h"
#include "mail/RDOAccounts.h"
#include "mail/RDOMail.h"
#include "mail/RDOSession.h"
#include "sending/Arithmetic.h"
#include "settings/SettingsKeys.h"

namespace quillmark::sending {

namespace {

std::int32_t SendCounter = 0;

campaign::CState& requireState() {
    const auto& state = campaign::CState::shared();
    if (!state) {
        throw core::Error(QStringLiteral("The campaign state does not exist"));
    }
    return *state;
}

} // namespace

bool PrepareAndSend(const std::shared_ptr<mail::RDOMail>& message) {
    try {
        const campaign::CState& state = requireState();
        if (state.SendState() == QStringLiteral("Cancelled")) {
            diagnostics::LogReport(QStringLiteral("User cancelled"));
            return false;
        }
        if (settings::read(settings::keys::DeleteSentItems) != 0) {
            message->setDeleteAfterSubmit(true);
        }
        message->Send();
        if (state.PerformSendReceiveWanted() != 0) {
            SendCounter = checkedAdd(SendCounter, 1);
            if (state.PerformSendReceiveAt() == SendCounter) {
                DoSendReceive();
            }
        }
        return true;
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::executableSource(u"PrepareAndSend"), failure);
        return false;
    }
}

void DoSendReceive() {
    const auto utils = requireState().Utils();
    if (!utils) {
        throw core::Error(QStringLiteral("The mail utilities object does not exist"));
    }
    utils->sendReceive(3, 0);
    diagnostics::LogMessage(QStringLiteral("DoSendReceive"), QStringLiteral("Send Receive performed"));
}

QString FetchDefaultAccountName(const std::shared_ptr<mail::RDOSession>& session) {
    int step = 2;
    try {
        if (settings::read(settings::keys::OutlookVersion).startsWith(QLatin1Char('9'))) {
            return {};
        }
        if (!session) {
            throw core::Error(QStringLiteral("There is no mail session"));
        }
        const auto accounts = session->accounts();
        step = 12;
        const auto ordered = accounts->orderedList(mail::RDOAccounts::kMailAccounts);
        step = 14;
        const auto first = ordered->item(1);
        step = 16;
        return first->Name();
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::productSource(u"FetchDefaultAccountName"), step, failure);
        return {};
    }
}

std::int32_t sendCounter() {
    return SendCounter;
}

void resetSendCounter() {
    SendCounter = 0;
}

} // namespace quillmark::sending
