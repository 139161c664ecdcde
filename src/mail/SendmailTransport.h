#pragma once

#include "mail/Transport.h"

#include <QString>

namespace quillmark::mail {

// Hands each message to a local sendmail-compatible program:
// `<program> -i -f <sender> -- <recipients>...`, the message on its standard input, no shell.
// Exit status 0: accepted; 75 (EX_TEMPFAIL), a crash or no answer in time: try later; any
// other status: refused, with what the program wrote to standard error.
class SendmailTransport final : public Transport {
public:
    SendmailTransport(QString program, int timeoutSeconds);

    [[nodiscard]] DeliveryResult deliver(const Envelope& envelope, const QByteArray& message) override;
    // Checks that the program exists and may be run; sends nothing.
    void verify() override;

private:
    QString m_program;
    int m_timeoutSeconds;
};

} // namespace quillmark::mail
