#pragma once

#include "mail/DeferredSync.h"
#include "mail/MailProfile.h"
#include "mail/MailStore.h"
#include "mail/SpoolFile.h"
#include "mail/Transport.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace quillmark::mail {

using TransportFactory = std::function<std::unique_ptr<Transport>(const AccountConfig&)>;
using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

// What one pass over the Outbox did.
struct FlushReport {
    int delivered = 0;
    int failed = 0;             // refused for good and moved to the Failed folder
    int stillQueued = 0;        // left for a later attempt
    bool busyElsewhere = false; // another process was flushing the same Outbox
    QStringList problems;       // why messages stayed queued, for the user
};

// A queued message as listed for the user.
struct QueuedMessage {
    QString entry;
    SpoolEntry spool;
};

// Delivers a profile's finished messages: at once when the account's server takes them,
// otherwise durably through the Outbox, retried oldest first. One transport per account is
// kept, so consecutive messages share one connection.
//
// After a delivery could not be made, the account rests (30 s, doubling up to 15 min): a
// message submitted meanwhile goes straight to the Outbox instead of waiting for a dead
// server's timeout, so a campaign keeps its pace. An explicit flush ignores the rest.
class OutboxSpooler {
public:
    enum class Outcome { Delivered, Queued };

    OutboxSpooler(MailProfile profile, TransportFactory makeTransport, SteadyClock clock);
    ~OutboxSpooler();
    OutboxSpooler(const OutboxSpooler&) = delete;
    OutboxSpooler& operator=(const OutboxSpooler&) = delete;

    // Delivers or queues one finished message. Throws core::Error with the server's reply
    // when it was refused for good (nothing is kept then), or when the account cannot send
    // at all (an unknown transport, a failing password command).
    Outcome submit(const QString& accountName, const Envelope& envelope, const QByteArray& message, bool keepCopy);

    // Delivers what the Outbox holds, oldest first. `honourRest` skips accounts that are resting.
    FlushReport flush(bool honourRest);

    [[nodiscard]] std::vector<QueuedMessage> queued() const;
    [[nodiscard]] const MailStore& store() const noexcept { return m_store; }

    static constexpr std::chrono::seconds kFirstRest{30};
    static constexpr std::chrono::seconds kLongestRest{15 * 60};

private:
    struct Rest {
        std::chrono::steady_clock::time_point until;
        std::chrono::seconds length{0};
        QString reason;
    };

    [[nodiscard]] const AccountConfig& account(const QString& name) const;
    Transport& transportFor(const AccountConfig& account);
    [[nodiscard]] bool isResting(const QString& accountName) const;
    void rest(const QString& accountName, const QString& reason);
    void queue(const QString& accountName, const Envelope& envelope, const QByteArray& message, bool keepCopy,
               const QString& reason);
    [[nodiscard]] bool holdsQueuedFor(const QString& accountName) const;
    // `storedFile`: where the transport left the delivered message as a file, if it did.
    void keepSentCopy(const QByteArray& message, const QString& storedFile);
    void logUnflushedCopies();
    void flushEntry(const QString& entry, bool honourRest, QStringList& stalledAccounts, FlushReport& report);
    void moveAside(const QString& entry, const QByteArray& bytes, const QString& recipients, const QString& reason,
                   FlushReport& report);

    MailProfile m_profile;
    MailStore m_store;
    TransportFactory m_makeTransport;
    SteadyClock m_clock;
    std::map<QString, std::unique_ptr<Transport>> m_transports;
    std::map<QString, Rest> m_rests;
    DeferredSync m_sentCopies; // the Sent Items copies reach the disk off the sending path
};

} // namespace quillmark::mail
