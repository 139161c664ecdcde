#pragma once

#include "mail/AccountConfig.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace quillmark::mail {

// Who a finished message travels from and to, apart from its headers.
struct Envelope {
    QString sender;         // bare address for MAIL FROM
    QStringList recipients; // bare addresses for RCPT TO, each already checked for control characters
};

enum class DeliveryOutcome {
    Accepted, // the server took the message
    Refused,  // refused for good (5xx, invalid address): do not try again
    TryLater, // not delivered now (no connection, timeout, 4xx): keep it and try again later
};

struct DeliveryResult {
    DeliveryOutcome outcome = DeliveryOutcome::TryLater;
    QString description; // the server's reply or what went wrong, for the user; empty when accepted
    // The file the accepted message now lives in, complete and on disk, when the transport
    // delivers into local files (maildir:); empty otherwise.
    QString storedFile{};
};

// Delivers finished RFC 5322 messages for one account. An instance keeps its connection
// open between messages and re-opens it when the server has dropped it.
class Transport {
public:
    virtual ~Transport() = default;
    Transport() = default;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    [[nodiscard]] virtual DeliveryResult deliver(const Envelope& envelope, const QByteArray& message) = 0;
    // Connects and authenticates without sending anything; throws core::Error saying what failed.
    virtual void verify() = 0;
};

// The transport named by the account's URL; throws core::Error for an unknown or malformed one.
[[nodiscard]] std::unique_ptr<Transport> makeTransport(const AccountConfig& account);

} // namespace quillmark::mail
