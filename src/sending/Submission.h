#pragma once

#include <QString>
#include <memory>

namespace quillmark::mail {
class RDOMail;
class RDOSession;
} // namespace quillmark::mail

// Between the per-recipient send and the mail library: the last cancellation check, the
// submission itself, the send/receive after a configured number of messages, and the name of
// the default account for the log.

namespace quillmark::sending {

// Submits one personalised message. False when the campaign was cancelled or a step failed.
bool PrepareAndSend(const std::shared_ptr<mail::RDOMail>& message);
// Asks the profile to send what it has queued. Failures reach the caller.
void DoSendReceive();
// The name of the profile's default account; empty when the lookup is switched off or fails.
QString FetchDefaultAccountName(const std::shared_ptr<mail::RDOSession>& session);

// Messages submitted since the process started or the last campaign completed.
[[nodiscard]] std::int32_t sendCounter();
void resetSendCounter();

} // namespace quillmark::sending
