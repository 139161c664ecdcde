#include "mail/RDOSession.h"

#include "core/Error.h"
#include "mail/MailAddress.h"
#include "mail/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <mutex>
#include <utility>

namespace quillmark::mail {

namespace {

// The sessions logged on in this process; the utilities object delivers their Outboxes.
struct SessionRegistry {
    std::mutex mutex;
    std::vector<std::weak_ptr<RDOSession>> sessions;
};

SessionRegistry& registry() {
    static SessionRegistry instance;
    return instance;
}

void registerSession(const std::shared_ptr<RDOSession>& session) {
    auto& sessions = registry();
    const std::lock_guard lock(sessions.mutex);
    std::erase_if(sessions.sessions, [](const auto& weak) { return weak.expired(); });
    sessions.sessions.push_back(session);
}

QByteArray readMessageFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw core::Error(QStringLiteral("The message file \"%1\" does not exist").arg(path));
    }
    if (!info.isFile()) {
        throw core::Error(QStringLiteral("\"%1\" is not a message file").arg(path));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw core::Error(QStringLiteral("Cannot read the message file \"%1\": %2").arg(path, file.errorString()));
    }
    return file.readAll();
}

} // namespace

std::shared_ptr<RDOSession> RDOSession::make(SessionSeams seams) {
    if (!seams.makeTransport) {
        seams.makeTransport = [](const AccountConfig& account) { return makeTransport(account); };
    }
    if (!seams.clock) {
        seams.clock = [] { return std::chrono::steady_clock::now(); };
    }
    if (seams.profileFile.isEmpty()) {
        seams.profileFile = ProfileFile::defaultPath();
    }
    return std::make_shared<RDOSession>(Token{}, std::move(seams));
}

RDOSession::RDOSession(Token, SessionSeams seams) : m_seams(std::move(seams)) {}

RDOSession::~RDOSession() = default;

QString RDOSession::typeName() const {
    return QStringLiteral("RDOSession");
}

void RDOSession::logon() {
    logonTo(QString());
}

void RDOSession::logon(const QString& profileName) {
    if (profileName.trimmed().isEmpty()) {
        throw core::Error(QStringLiteral("No mail profile name was given"));
    }
    logonTo(profileName.trimmed());
}

void RDOSession::logonTo(const QString& profileName) {
    if (m_profile) {
        throw core::Error(QStringLiteral("The mail session is logged on to \"%1\" already").arg(m_profile->name));
    }
    MailProfile profile = ProfileFile::resolve(profileName, m_seams.profileFile);
    std::vector<std::shared_ptr<RDOAccount>> accounts;
    int position = 0;
    for (const auto& account : profile.accounts) {
        accounts.push_back(std::make_shared<RDOAccount>(account, ++position));
    }
    m_spooler = std::make_unique<OutboxSpooler>(profile, m_seams.makeTransport, m_seams.clock);
    m_store.emplace(profile.store);
    m_accounts = std::move(accounts);
    m_profile = std::move(profile);
    registerSession(shared_from_this());
}

void RDOSession::requireLogon() const {
    if (!m_profile) {
        throw core::Error(QStringLiteral("The mail session is not logged on"));
    }
}

QString RDOSession::profileName() const {
    requireLogon();
    return m_profile->name;
}

const MailProfile& RDOSession::profile() const {
    requireLogon();
    return *m_profile;
}

const MailStore& RDOSession::store() const {
    requireLogon();
    return *m_store;
}

std::shared_ptr<RDOAccount> RDOSession::accountSendingAs(const QString& from) const {
    if (from.isEmpty()) {
        return nullptr;
    }
    try {
        const QString address = MailAddress::parse(from).address();
        for (const auto& account : m_accounts) {
            if (MailAddress::parse(account->from()).address().compare(address, Qt::CaseInsensitive) == 0) {
                return account;
            }
        }
    } catch (const core::Error&) {
        // A From header we cannot read names no account of ours; the message then has none.
    }
    return nullptr;
}

std::shared_ptr<RDOMail> RDOSession::messageFrom(ParsedMessage parsed, const QString& folderName) {
    requireLogon();
    auto account = accountSendingAs(parsed.from);
    auto message =
        std::make_shared<RDOMail>(shared_from_this(), folderName, std::move(parsed.content), std::move(account));
    message->Recipients()->assign(parsed.recipients);
    return message;
}

std::shared_ptr<RDOMail> RDOSession::openMessageFile(const QString& path, bool create) {
    requireLogon();
    if (create) {
        throw core::Error(QStringLiteral("Creating the message file \"%1\" is not supported").arg(path));
    }
    return messageFrom(MimeReader::read(readMessageFile(path), path), QString());
}

std::shared_ptr<RDOFolder> RDOSession::defaultFolder(int kind) {
    requireLogon();
    switch (kind) {
    case kOutboxFolder:
        return std::make_shared<RDOFolder>(shared_from_this(), MailStore::outboxName());
    case kSentItemsFolder:
        return std::make_shared<RDOFolder>(shared_from_this(), MailStore::sentItemsName());
    default:
        throw core::Error(QStringLiteral("There is no default folder %1 (4 is the Outbox, 5 Sent Items)").arg(kind));
    }
}

std::shared_ptr<RDOAccounts> RDOSession::accounts() const {
    requireLogon();
    return std::make_shared<RDOAccounts>(m_accounts);
}

std::shared_ptr<RDOAddressEntry> RDOSession::currentUser() const {
    requireLogon();
    return std::make_shared<RDOAddressEntry>(m_profile->userName, m_profile->userAddress);
}

FlushReport RDOSession::deliverQueued() {
    requireLogon();
    return m_spooler->flush(false);
}

std::vector<QueuedMessage> RDOSession::queuedMessages() const {
    requireLogon();
    return m_spooler->queued();
}

OutboxSpooler::Outcome RDOSession::submit(const QString& accountName, const Envelope& envelope,
                                          const QByteArray& message, bool keepCopy) {
    requireLogon();
    return m_spooler->submit(accountName, envelope, message, keepCopy);
}

std::vector<std::shared_ptr<RDOSession>> RDOSession::loggedOnSessions() {
    auto& sessions = registry();
    const std::lock_guard lock(sessions.mutex);
    std::vector<std::shared_ptr<RDOSession>> live;
    for (const auto& weak : sessions.sessions) {
        if (auto session = weak.lock()) {
            live.push_back(std::move(session));
        }
    }
    return live;
}

} // namespace quillmark::mail
