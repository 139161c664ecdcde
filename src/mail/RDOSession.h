#pragma once

#include "mail/MailObject.h"
#include "mail/MailProfile.h"
#include "mail/MailStore.h"
#include "mail/MimeReader.h"
#include "mail/OutboxSpooler.h"
#include "mail/RDOAccount.h"
#include "mail/RDOAccounts.h"
#include "mail/RDOAddressEntry.h"
#include "mail/RDOFolder.h"
#include "mail/RDOItems.h"
#include "mail/RDOMail.h"

#include <memory>
#include <optional>
#include <vector>

namespace quillmark::mail {

// What a session talks to, replaceable for tests.
struct SessionSeams {
    TransportFactory makeTransport; // empty: mail::makeTransport
    SteadyClock clock;              // empty: std::chrono::steady_clock::now
    QString profileFile;            // empty: ProfileFile::defaultPath()
};

// A mail session: logged on to one profile, it opens template files, makes messages in the
// profile's folders and delivers them through the spooler, which keeps one transport (and so
// one connection) per account for the whole session.
class RDOSession : public MailObject, public std::enable_shared_from_this<RDOSession> {
public:
    static constexpr int kOutboxFolder = 4;
    static constexpr int kSentItemsFolder = 5;

    [[nodiscard]] static std::shared_ptr<RDOSession> make(SessionSeams seams = {});
    ~RDOSession() override;

    [[nodiscard]] QString typeName() const override;

    // Logs on to the default profile (the file's default, or the built-in Local profile when
    // there is no profile file). Throws core::Error when that fails or when already logged on.
    void logon();
    // Logs on to the named profile; names compare without regard to letter case.
    void logon(const QString& profileName);
    [[nodiscard]] bool isLoggedOn() const noexcept { return m_profile.has_value(); }
    // The profile's name as the profile file spells it.
    [[nodiscard]] QString profileName() const;
    [[nodiscard]] const MailProfile& profile() const;

    // Reads an RFC 5322/MIME message file (whatever its extension) into a new in-memory
    // message. Never creates a file: `create` true is refused. Throws core::Error for a
    // missing file or one that is not a message.
    [[nodiscard]] std::shared_ptr<RDOMail> openMessageFile(const QString& path, bool create = false);
    // 4 the Outbox, 5 Sent Items; other kinds fail.
    [[nodiscard]] std::shared_ptr<RDOFolder> defaultFolder(int kind);
    [[nodiscard]] std::shared_ptr<RDOAccounts> accounts() const;
    // The profile's user and address.
    [[nodiscard]] std::shared_ptr<RDOAddressEntry> currentUser() const;

    // Delivers everything queued in the Outbox now, ignoring any pause after failures.
    FlushReport deliverQueued();
    [[nodiscard]] std::vector<QueuedMessage> queuedMessages() const;
    [[nodiscard]] const MailStore& store() const;

    // Used by messages: delivers or queues one finished message through the named account.
    OutboxSpooler::Outcome submit(const QString& accountName, const Envelope& envelope, const QByteArray& message,
                                  bool keepCopy);
    // Used when reading stored messages: the in-memory message for parsed content.
    [[nodiscard]] std::shared_ptr<RDOMail> messageFrom(ParsedMessage parsed, const QString& folderName);

    // The sessions of this process that are logged on, oldest first.
    [[nodiscard]] static std::vector<std::shared_ptr<RDOSession>> loggedOnSessions();

private:
    struct Token {};

public:
    RDOSession(Token, SessionSeams seams);

private:
    void logonTo(const QString& profileName);
    void requireLogon() const;
    [[nodiscard]] std::shared_ptr<RDOAccount> accountSendingAs(const QString& from) const;

    SessionSeams m_seams;
    std::optional<MailProfile> m_profile;
    std::optional<MailStore> m_store;
    std::vector<std::shared_ptr<RDOAccount>> m_accounts;
    std::unique_ptr<OutboxSpooler> m_spooler;
};

} // namespace quillmark::mail
