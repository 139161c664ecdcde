#include "mail/OutboxSpooler.h"

#include "core/Error.h"
#include "diagnostics/Logging.h"

#include <QLockFile>
#include <algorithm>
#include <utility>

namespace quillmark::mail {

namespace {

const QString kLogSource = QStringLiteral("Outbox");

QString refusal(const DeliveryResult& result) {
    return result.description.isEmpty() ? QStringLiteral("The server refused the message") : result.description;
}

QString why(const DeliveryResult& result) {
    return result.description.isEmpty() ? QStringLiteral("the server could not be reached") : result.description;
}

QString recipientsOf(const Envelope& envelope) {
    return envelope.recipients.join(QStringLiteral(", "));
}

} // namespace

OutboxSpooler::OutboxSpooler(MailProfile profile, TransportFactory makeTransport, SteadyClock clock)
    : m_profile(std::move(profile)), m_store(m_profile.store), m_makeTransport(std::move(makeTransport)),
      m_clock(std::move(clock)) {}

OutboxSpooler::~OutboxSpooler() {
    m_sentCopies.wait();
    logUnflushedCopies();
}

const AccountConfig& OutboxSpooler::account(const QString& name) const {
    for (const auto& candidate : m_profile.accounts) {
        if (candidate.name == name) {
            return candidate;
        }
    }
    throw core::Error(QStringLiteral("The mail profile \"%1\" has no account named \"%2\"").arg(m_profile.name, name));
}

Transport& OutboxSpooler::transportFor(const AccountConfig& config) {
    auto& transport = m_transports[config.name];
    if (!transport) {
        transport = m_makeTransport(config);
    }
    return *transport;
}

bool OutboxSpooler::isResting(const QString& accountName) const {
    const auto found = m_rests.find(accountName);
    return found != m_rests.end() && m_clock() < found->second.until;
}

void OutboxSpooler::rest(const QString& accountName, const QString& reason) {
    Rest& rest = m_rests[accountName];
    rest.length = rest.length.count() == 0 ? kFirstRest : std::min(rest.length * 2, kLongestRest);
    rest.until = m_clock() + rest.length;
    rest.reason = reason;
}

void OutboxSpooler::queue(const QString& accountName, const Envelope& envelope, const QByteArray& message,
                          bool keepCopy, const QString& reason) {
    SpoolEntry entry;
    entry.account = accountName;
    entry.envelope = envelope;
    entry.keepCopy = keepCopy;
    entry.queued = QDateTime::currentDateTimeUtc();
    entry.reason = reason;
    entry.message = message;
    (void)m_store.folder(MailStore::outboxName()).add(SpoolFile::encode(entry));
    diagnostics::LogMessage(kLogSource, QStringLiteral("Queued the message to %1 in the Outbox for later delivery: %2")
                                            .arg(recipientsOf(envelope), reason));
}

bool OutboxSpooler::holdsQueuedFor(const QString& accountName) const {
    for (const auto& message : queued()) {
        if (message.spool.account == accountName) {
            return true;
        }
    }
    return false;
}

// The copy is a record of what was delivered: it must not slow the sending down, so it is
// flushed to disk in the background, and a failure to flush it is logged. A message the
// transport delivered into a local file is the copy already: Sent Items gets a second name for
// that file, as mail stores do for copies within one disk, and its bytes are written only once.
void OutboxSpooler::keepSentCopy(const QByteArray& message, const QString& storedFile) {
    logUnflushedCopies();
    MaildirFolder sentItems = m_store.folder(MailStore::sentItemsName());
    if (!storedFile.isEmpty() && sentItems.addLinkTo(storedFile, m_sentCopies)) {
        return;
    }
    (void)sentItems.add(message, m_sentCopies);
}

void OutboxSpooler::logUnflushedCopies() {
    for (const QString& failure : m_sentCopies.takeFailures()) {
        diagnostics::LogError(QStringLiteral("A copy in the \"%1\" folder may not survive a power failure: %2")
                                  .arg(MailStore::sentItemsName(), failure),
                              kLogSource);
    }
}

OutboxSpooler::Outcome OutboxSpooler::submit(const QString& accountName, const Envelope& envelope,
                                             const QByteArray& message, bool keepCopy) {
    const AccountConfig& config = account(accountName);
    // An empty Outbox (the usual case) is listed once per message, not twice.
    const bool outboxWasEmpty = m_store.folder(MailStore::outboxName()).isEmpty();
    if (!outboxWasEmpty && !isResting(accountName)) {
        (void)flush(true); // older messages go first
    }
    if (isResting(accountName)) {
        queue(accountName, envelope, message, keepCopy,
              QStringLiteral("the last attempt failed (%1); the next one follows after a pause")
                  .arg(m_rests[accountName].reason));
        return Outcome::Queued;
    }
    if (!outboxWasEmpty && holdsQueuedFor(accountName)) {
        // Older messages of this account are still waiting (another process holds the Outbox):
        // overtaking them would break the oldest-first order.
        queue(accountName, envelope, message, keepCopy, QStringLiteral("older messages are still waiting"));
        return Outcome::Queued;
    }
    const DeliveryResult result = transportFor(config).deliver(envelope, message);
    switch (result.outcome) {
    case DeliveryOutcome::Accepted:
        m_rests.erase(accountName);
        if (keepCopy) {
            keepSentCopy(message, result.storedFile);
        }
        return Outcome::Delivered;
    case DeliveryOutcome::Refused:
        throw core::Error(refusal(result));
    case DeliveryOutcome::TryLater:
        break;
    }
    rest(accountName, why(result));
    queue(accountName, envelope, message, keepCopy, why(result));
    return Outcome::Queued;
}

FlushReport OutboxSpooler::flush(bool honourRest) {
    FlushReport report;
    MaildirFolder outbox = m_store.folder(MailStore::outboxName());
    const auto entries = outbox.entries();
    if (entries.empty()) {
        return report;
    }
    // Two processes flushing one Outbox could deliver a message twice; the second one waits
    // briefly (an explicit flush) or leaves the work to the first.
    QLockFile lock(m_store.root() + QStringLiteral("/Outbox.lock"));
    if (!lock.tryLock(honourRest ? 0 : 10000)) {
        report.busyElsewhere = true;
        report.stillQueued = static_cast<int>(entries.size());
        return report;
    }
    QStringList stalledAccounts;
    for (const auto& entry : outbox.entries()) {
        flushEntry(entry, honourRest, stalledAccounts, report);
    }
    return report;
}

void OutboxSpooler::flushEntry(const QString& entry, bool honourRest, QStringList& stalledAccounts,
                               FlushReport& report) {
    MaildirFolder outbox = m_store.folder(MailStore::outboxName());
    const QByteArray bytes = outbox.read(entry);
    SpoolEntry spool;
    try {
        spool = SpoolFile::decode(bytes, outbox.path() + QLatin1Char('/') + entry);
        (void)account(spool.account);
    } catch (const core::Error& error) {
        moveAside(entry, bytes, spool.envelope.recipients.join(QStringLiteral(", ")), error.description(), report);
        return;
    }
    if (stalledAccounts.contains(spool.account) || (honourRest && isResting(spool.account))) {
        ++report.stillQueued;
        return;
    }
    DeliveryResult result;
    try {
        result = transportFor(account(spool.account)).deliver(spool.envelope, spool.message);
    } catch (const core::Error& error) {
        result = {DeliveryOutcome::TryLater, error.description()};
    }
    if (result.outcome == DeliveryOutcome::Accepted) {
        // Out of the Outbox first: a crash before the Sent copy loses a copy, never repeats a delivery.
        outbox.remove(entry);
        m_rests.erase(spool.account);
        ++report.delivered;
        diagnostics::LogMessage(kLogSource,
                                QStringLiteral("Delivered the queued message to %1").arg(recipientsOf(spool.envelope)));
        if (spool.keepCopy) {
            keepSentCopy(spool.message, result.storedFile);
        }
    } else if (result.outcome == DeliveryOutcome::Refused) {
        moveAside(entry, bytes, recipientsOf(spool.envelope), refusal(result), report);
    } else {
        rest(spool.account, why(result));
        stalledAccounts << spool.account;
        ++report.stillQueued;
        report.problems << QStringLiteral("%1: %2").arg(spool.account, why(result));
    }
}

void OutboxSpooler::moveAside(const QString& entry, const QByteArray& bytes, const QString& recipients,
                              const QString& reason, FlushReport& report) {
    (void)m_store.folder(MailStore::failedName()).add(bytes);
    m_store.folder(MailStore::outboxName()).remove(entry);
    ++report.failed;
    report.problems << QStringLiteral("message to %1 refused: %2").arg(recipients, reason);
    diagnostics::LogError(QStringLiteral("The queued message to %1 could not be delivered and was moved to the "
                                         "\"%2\" folder.  Reason: %3")
                              .arg(recipients, MailStore::failedName(), reason),
                          kLogSource);
}

std::vector<QueuedMessage> OutboxSpooler::queued() const {
    std::vector<QueuedMessage> messages;
    MaildirFolder outbox = m_store.folder(MailStore::outboxName());
    for (const auto& entry : outbox.entries()) {
        try {
            messages.push_back(
                {entry, SpoolFile::decode(outbox.read(entry), outbox.path() + QLatin1Char('/') + entry)});
        } catch (const core::Error&) {
            // Unreadable entries are listed with what is known; a flush moves them aside.
            messages.push_back({entry, SpoolEntry{}});
        }
    }
    return messages;
}

} // namespace quillmark::mail
