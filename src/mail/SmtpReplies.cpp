#include "mail/SmtpReplies.h"

#include "core/Error.h"
#include "mail/MailAddress.h"

#include <curl/curl.h>

namespace quillmark::mail {

namespace {

DeliveryResult result(DeliveryOutcome outcome, const QString& description) {
    return DeliveryResult{outcome, description};
}

// libcurl names the command that failed at the start of its error text ("RCPT failed: 550").
QString refusedPart(const QString& curlDetail) {
    if (curlDetail.startsWith(QLatin1String("RCPT"))) {
        return QStringLiteral("the recipient");
    }
    if (curlDetail.startsWith(QLatin1String("MAIL"))) {
        return QStringLiteral("the sender");
    }
    return QStringLiteral("the message");
}

QString replyOrCode(const SmtpExchange& exchange) {
    return exchange.serverReply.isEmpty() ? QString::number(exchange.replyCode) : exchange.serverReply;
}

DeliveryResult describeReply(const SmtpExchange& exchange) {
    const QString reply = replyOrCode(exchange);
    const bool permanent = exchange.replyCode >= 500;
    const DeliveryOutcome outcome = permanent ? DeliveryOutcome::Refused : DeliveryOutcome::TryLater;
    if (exchange.curlCode == CURLE_LOGIN_DENIED) {
        return result(outcome, QStringLiteral("The mail server %1 did not accept the user name or password: %2")
                                   .arg(exchange.server, reply));
    }
    if (exchange.replyCode == 530) {
        return result(
            outcome,
            QStringLiteral("The mail server %1 requires a user name and password: %2").arg(exchange.server, reply));
    }
    const QString part = refusedPart(exchange.curlDetail);
    if (permanent) {
        return result(outcome, QStringLiteral("The mail server %1 refused %2: %3").arg(exchange.server, part, reply));
    }
    return result(outcome,
                  QStringLiteral("The mail server %1 cannot take %2 now: %3").arg(exchange.server, part, reply));
}

QString detailOf(const SmtpExchange& exchange) {
    if (!exchange.curlDetail.isEmpty()) {
        return exchange.curlDetail;
    }
    return QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(exchange.curlCode)));
}

QString describeFailure(const SmtpExchange& exchange) {
    const QString& server = exchange.server;
    const QString detail = detailOf(exchange);
    switch (static_cast<CURLcode>(exchange.curlCode)) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("Cannot find the mail server %1: %2").arg(server, detail);
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("Cannot connect to the mail server %1: %2").arg(server, detail);
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("The mail server %1 did not answer within %2 seconds")
            .arg(server)
            .arg(exchange.timeoutSeconds);
    case CURLE_USE_SSL_FAILED:
        return QStringLiteral("The mail server %1 offers no encrypted connection (STARTTLS); the password is only "
                              "ever sent encrypted")
            .arg(server);
    case CURLE_PEER_FAILED_VERIFICATION:
        return QStringLiteral("The certificate of the mail server %1 is not trusted: %2").arg(server, detail);
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("The encrypted connection to the mail server %1 failed: %2").arg(server, detail);
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("The trusted certificates for the mail server %1 cannot be read: %2").arg(server, detail);
    case CURLE_LOGIN_DENIED:
        return QStringLiteral("The mail server %1 did not accept the user name or password: %2").arg(server, detail);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("The connection to the mail server %1 was lost: %2").arg(server, detail);
    case CURLE_OUT_OF_MEMORY:
        return QStringLiteral("Out of memory while sending through the mail server %1").arg(server);
    default:
        return QStringLiteral("Sending through the mail server %1 failed: %2").arg(server, detail);
    }
}

} // namespace

DeliveryResult describeSmtpExchange(const SmtpExchange& exchange) {
    if (exchange.replyCode >= 400 && exchange.replyCode < 600 && exchange.curlCode != CURLE_OK) {
        return describeReply(exchange);
    }
    if (exchange.curlCode == CURLE_OK) {
        return result(DeliveryOutcome::Accepted, QString());
    }
    // No refusal from the server itself: whatever went wrong may well be gone later.
    return result(DeliveryOutcome::TryLater, describeFailure(exchange));
}

std::optional<DeliveryResult> refusedEnvelope(const Envelope& envelope) {
    if (envelope.recipients.isEmpty()) {
        return result(DeliveryOutcome::Refused, QStringLiteral("The message has no recipient"));
    }
    try {
        MailAddress::checkBareAddress(envelope.sender);
        for (const QString& recipient : envelope.recipients) {
            MailAddress::checkBareAddress(recipient);
        }
    } catch (const core::Error& error) {
        return result(DeliveryOutcome::Refused, error.description());
    }
    return std::nullopt;
}

} // namespace quillmark::mail
