#include "mail/MAPIUtils.h"

#include "core/Error.h"
#include "mail/RDOSession.h"

#include <utility>

namespace quillmark::mail {

QString MAPIUtils::typeName() const {
    return QStringLiteral("MAPIUtils");
}

void MAPIUtils::setSession(std::shared_ptr<RDOSession> session) {
    m_session = std::move(session);
}

FlushReport MAPIUtils::sendReceive(int /*flags*/, int /*parentWindow*/) {
    // The flags choose what a send/receive covers on other platforms; here there is only
    // sending, and no window to show progress in.
    auto sessions = m_session ? std::vector<std::shared_ptr<RDOSession>>{m_session} : RDOSession::loggedOnSessions();
    if (sessions.empty()) {
        throw core::Error(QStringLiteral("Send/receive needs a mail session that is logged on"));
    }
    FlushReport total;
    for (const auto& session : sessions) {
        const FlushReport report = session->deliverQueued();
        total.delivered += report.delivered;
        total.failed += report.failed;
        total.stillQueued += report.stillQueued;
        total.busyElsewhere = total.busyElsewhere || report.busyElsewhere;
        total.problems += report.problems;
    }
    return total;
}

} // namespace quillmark::mail
