#pragma once

#include "mail/MailObject.h"
#include "mail/OutboxSpooler.h"

#include <memory>

namespace quillmark::mail {

class RDOSession;

// The utilities object: send/receive.
class MAPIUtils : public MailObject {
public:
    [[nodiscard]] QString typeName() const override;

    // The session to work on; without one, every session logged on in this process.
    void setSession(std::shared_ptr<RDOSession> session);

    // Send/receive: delivers what the Outbox of the session's profile holds, oldest first.
    // Messages that still cannot be delivered stay queued (that is not a failure); throws
    // core::Error when no session is logged on or the store cannot be used.
    FlushReport sendReceive(int flags, int parentWindow);

private:
    std::shared_ptr<RDOSession> m_session;
};

} // namespace quillmark::mail
