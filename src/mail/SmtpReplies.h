#pragma once

#include "mail/Transport.h"

#include <QString>
#include <optional>

namespace quillmark::mail {

// What one SMTP transfer through libcurl ended with.
struct SmtpExchange {
    int curlCode = 0;       // the transfer's CURLcode
    long replyCode = 0;     // the server's failure reply code, else its last one; 0 when it sent none
    QString serverReply;    // that reply as the server wrote it, control characters removed
    QString curlDetail;     // libcurl's error buffer, e.g. "RCPT failed: 550"
    QString server;         // "host:port", as the user configured it
    int timeoutSeconds = 0; // the bound that applied, for a timeout's description
};

// The one place where SMTP reply codes and libcurl codes become an outcome and user text:
// 2xx accepted; 5xx refused for good; 4xx, lost connections, timeouts and TLS trouble try later.
[[nodiscard]] DeliveryResult describeSmtpExchange(const SmtpExchange& exchange);

// Envelope addresses end up as SMTP command arguments or program arguments: anything that is
// not one bare, well-formed address (control characters, several addresses) is refused here,
// before it reaches a server. Empty when the envelope is fine.
[[nodiscard]] std::optional<DeliveryResult> refusedEnvelope(const Envelope& envelope);

} // namespace quillmark::mail
