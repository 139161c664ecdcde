#include "mail/ProfileFile.h"

#include "core/Error.h"
#include "mail/MailAddress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <pwd.h>
#include <toml++/toml.h>
#include <unistd.h>

namespace quillmark::mail {

namespace {

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

// Describes one place in the file for a failure: "mail-profiles.toml, line 7".
class Context {
public:
    Context(QString path, QString where) : m_path(std::move(path)), m_where(std::move(where)) {}

    [[noreturn]] void fail(const toml::node& node, const QString& what) const {
        throw core::Error(QStringLiteral("%1, line %2: %3 %4")
                              .arg(m_path)
                              .arg(node.source().begin.line)
                              .arg(m_where.isEmpty() ? QString() : m_where + QLatin1Char(':'), what)
                              .simplified());
    }
    [[nodiscard]] Context inside(const QString& where) const { return Context(m_path, where); }

private:
    QString m_path;
    QString m_where;
};

void checkKeys(const toml::table& table, const QStringList& known, const Context& context) {
    for (const auto& [key, node] : table) {
        if (!known.contains(text(key.str()))) {
            context.fail(node, QStringLiteral("unknown setting \"%1\" (known: %2)")
                                   .arg(text(key.str()), known.join(QStringLiteral(", "))));
        }
    }
}

std::optional<QString> optionalString(const toml::table& table, const char* key, const Context& context) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_string()) {
        context.fail(*node, QStringLiteral("\"%1\" must be a text in quotes").arg(QLatin1String(key)));
    }
    return text(node->as_string()->get());
}

QString requiredString(const toml::table& table, const char* key, const Context& context, const toml::node& owner) {
    auto value = optionalString(table, key, context);
    if (!value || value->trimmed().isEmpty()) {
        context.fail(owner, QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
    }
    return *value;
}

AccountConfig parseAccount(const toml::table& table, int position, const Context& context) {
    checkKeys(table,
              {QStringLiteral("name"), QStringLiteral("from"), QStringLiteral("transport"), QStringLiteral("username"),
               QStringLiteral("password"), QStringLiteral("password-command"), QStringLiteral("timeout-seconds"),
               QStringLiteral("ca-file")},
              context);
    AccountConfig account;
    account.name = optionalString(table, "name", context).value_or(QStringLiteral("Account %1").arg(position));
    account.from = requiredString(table, "from", context, table);
    try {
        (void)MailAddress::parse(account.from);
    } catch (const core::Error& error) {
        context.fail(*table.get("from"), QStringLiteral("\"from\": ") + error.description());
    }
    account.transport = requiredString(table, "transport", context, table);
    account.username = optionalString(table, "username", context).value_or(QString());
    account.password = optionalString(table, "password", context);
    account.passwordCommand = optionalString(table, "password-command", context);
    account.caFile = optionalString(table, "ca-file", context).value_or(QString());
    if (const toml::node* timeout = table.get("timeout-seconds")) {
        const auto seconds = timeout->value<int64_t>();
        if (!seconds || *seconds < 1 || *seconds > 3600) {
            context.fail(*timeout, QStringLiteral("\"timeout-seconds\" must be a whole number from 1 to 3600"));
        }
        account.timeoutSeconds = static_cast<int>(*seconds);
    }
    return account;
}

std::vector<AccountConfig> parseAccounts(const toml::table& profile, const Context& context) {
    const toml::node* node = profile.get("accounts");
    if (node == nullptr || !node->is_array_of_tables() || node->as_array()->empty()) {
        context.fail(node == nullptr ? static_cast<const toml::node&>(profile) : *node,
                     QStringLiteral("at least one [[...accounts]] entry is needed"));
    }
    std::vector<AccountConfig> accounts;
    int position = 0;
    for (const auto& entry : *node->as_array()) {
        accounts.push_back(parseAccount(*entry.as_table(), ++position, context));
    }
    return accounts;
}

MailProfile parseProfile(const QString& name, const toml::node& node, const Context& file) {
    const Context context = file.inside(QStringLiteral("profile \"%1\"").arg(name));
    if (!node.is_table()) {
        context.fail(node, QStringLiteral("must be a table ([profiles.%1])").arg(name));
    }
    const toml::table& table = *node.as_table();
    checkKeys(table,
              {QStringLiteral("user-name"), QStringLiteral("user-address"), QStringLiteral("store"),
               QStringLiteral("accounts")},
              context);
    MailProfile profile;
    profile.name = name;
    profile.accounts = parseAccounts(table, context);
    const MailAddress sender = MailAddress::parse(profile.accounts.front().from);
    profile.userName = optionalString(table, "user-name", context).value_or(sender.name());
    profile.userAddress = optionalString(table, "user-address", context).value_or(sender.address());
    if (!MailAddress::isWellFormed(profile.userAddress)) {
        context.fail(node, QStringLiteral("\"user-address\" is not a well-formed e-mail address"));
    }
    profile.store = optionalString(table, "store", context).value_or(ProfileFile::defaultStore(name));
    return profile;
}

bool holdsPassword(const std::vector<MailProfile>& profiles) {
    for (const auto& profile : profiles) {
        for (const auto& account : profile.accounts) {
            if (account.password) {
                return true;
            }
        }
    }
    return false;
}

QString loginName() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("user") : user;
}

// A TOML basic string, escaped so that any text survives.
QString tomlString(const QString& value) {
    QString result = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            result += QLatin1Char('\\') + QString(c);
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            result += c;
        }
    }
    return result + QLatin1Char('"');
}

QString tomlKey(const QString& key) {
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return bare.match(key).hasMatch() ? key : tomlString(key);
}

QString profileSection(const MailProfile& profile) {
    const QString key = QStringLiteral("profiles.") + tomlKey(profile.name);
    QString section = QStringLiteral("\n[%1]\n").arg(key);
    section += QStringLiteral("user-name = %1\n").arg(tomlString(profile.userName));
    section += QStringLiteral("user-address = %1\n").arg(tomlString(profile.userAddress));
    if (!profile.store.isEmpty()) {
        section += QStringLiteral("store = %1\n").arg(tomlString(profile.store));
    }
    for (const auto& account : profile.accounts) {
        section += QStringLiteral("\n[[%1.accounts]]\n").arg(key);
        section += QStringLiteral("name = %1\n").arg(tomlString(account.name));
        section += QStringLiteral("from = %1\n").arg(tomlString(account.from));
        section += QStringLiteral("transport = %1\n").arg(tomlString(account.transport));
        if (!account.username.isEmpty()) {
            section += QStringLiteral("username = %1\n").arg(tomlString(account.username));
        }
        if (!account.caFile.isEmpty()) {
            section += QStringLiteral("ca-file = %1\n").arg(tomlString(account.caFile));
        }
        if (account.passwordCommand) {
            section += QStringLiteral("password-command = %1\n").arg(tomlString(*account.passwordCommand));
        }
        if (account.timeoutSeconds != AccountConfig{}.timeoutSeconds) {
            section += QStringLiteral("timeout-seconds = %1\n").arg(account.timeoutSeconds);
        }
    }
    return section;
}

// Sets the top-level `default` line, which must stay before the first table.
QString withDefault(const QString& document, const QString& name) {
    static const QRegularExpression defaultLine(QStringLiteral("^[ \\t]*default[ \\t]*="));
    static const QRegularExpression tableLine(QStringLiteral("^[ \\t]*\\["));
    QStringList lines = document.split(QLatin1Char('\n'));
    const QString line = QStringLiteral("default = %1").arg(tomlString(name));
    for (auto& existing : lines) {
        if (tableLine.match(existing).hasMatch()) {
            break;
        }
        if (defaultLine.match(existing).hasMatch()) {
            existing = line;
            return lines.join(QLatin1Char('\n'));
        }
    }
    return line + QLatin1Char('\n') + document;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw core::Error(QStringLiteral("Cannot read the mail profile file \"%1\": %2").arg(path, file.errorString()));
    }
    return file.readAll();
}

void writePrivately(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || !file.commit()) {
        throw core::Error(
            QStringLiteral("Cannot write the mail profile file \"%1\": %2").arg(path, file.errorString()));
    }
}

} // namespace

QString ProfileFile::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tollmere/mail-profiles.toml");
}

QString ProfileFile::defaultStore(const QString& profileName) {
    QString folder = profileName;
    folder.replace(QLatin1Char('/'), QLatin1Char('_')); // a profile name never leaves the mail folder
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tollmere/mail/") +
           folder;
}

QString ProfileFile::localProfileName() {
    return QStringLiteral("Local");
}

MailProfile ProfileFile::localProfile() {
    MailProfile profile;
    profile.name = localProfileName();
    const QString login = loginName();
    profile.userName = login;
    profile.userAddress = login + QStringLiteral("@localhost");
    if (!MailAddress::isWellFormed(profile.userAddress)) {
        profile.userAddress = QStringLiteral("user@localhost");
    }
    profile.store = defaultStore(profile.name);
    AccountConfig account;
    account.name = QStringLiteral("Local delivery");
    account.from = MailAddress(login, profile.userAddress).toString();
    account.transport = QStringLiteral("maildir:") + profile.store + QStringLiteral("/Delivered");
    profile.accounts.push_back(account);
    return profile;
}

std::optional<ProfileFile> ProfileFile::load(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return std::nullopt;
    }
    ProfileFile file = parse(readFile(path), path);
    const auto permissions = QFile::permissions(path);
    if (holdsPassword(file.m_profiles) && (permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther))) {
        throw core::Error(QStringLiteral("The mail profile file \"%1\" holds a password but other users can read it; "
                                         "run chmod 600 on it or use password-command instead")
                              .arg(path));
    }
    return file;
}

ProfileFile ProfileFile::parse(const QByteArray& bytes, const QString& path) {
    toml::table document;
    try {
        document =
            toml::parse(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), path.toStdString());
    } catch (const toml::parse_error& error) {
        throw core::Error(QStringLiteral("%1, line %2: not valid TOML: %3")
                              .arg(path)
                              .arg(error.source().begin.line)
                              .arg(text(error.description())));
    }
    const Context context(path, QString());
    checkKeys(document, {QStringLiteral("default"), QStringLiteral("profiles")}, context);
    ProfileFile file;
    file.m_path = path;
    file.m_default = optionalString(document, "default", context).value_or(QString());
    if (const toml::node* profiles = document.get("profiles")) {
        if (!profiles->is_table()) {
            context.fail(*profiles, QStringLiteral("\"profiles\" must be a table"));
        }
        for (const auto& [name, node] : *profiles->as_table()) {
            file.m_profiles.push_back(parseProfile(text(name.str()), node, context));
        }
    }
    if (!file.m_default.isEmpty() && file.find(file.m_default) == nullptr) {
        context.fail(*document.get("default"),
                     QStringLiteral("the default profile \"%1\" is not defined").arg(file.m_default));
    }
    return file;
}

QString ProfileFile::defaultProfileName() const {
    if (!m_default.isEmpty()) {
        return find(m_default)->name;
    }
    return m_profiles.size() == 1 ? m_profiles.front().name : QString();
}

const MailProfile* ProfileFile::find(const QString& name) const {
    for (const auto& profile : m_profiles) {
        if (profile.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &profile;
        }
    }
    return nullptr;
}

MailProfile ProfileFile::resolve(const QString& name, const QString& path) {
    const auto file = load(path);
    if (!file) {
        if (name.isEmpty() || name.compare(localProfileName(), Qt::CaseInsensitive) == 0) {
            return localProfile();
        }
        throw core::Error(QStringLiteral("The mail profile \"%1\" is not defined: there is no profile file \"%2\" "
                                         "(quillmark profile add creates one)")
                              .arg(name, path));
    }
    const QString wanted = name.isEmpty() ? file->defaultProfileName() : name;
    if (wanted.isEmpty()) {
        throw core::Error(QStringLiteral("No default mail profile: \"%1\" defines several profiles and no "
                                         "default = \"...\" line")
                              .arg(path));
    }
    const MailProfile* profile = file->find(wanted);
    if (profile == nullptr) {
        QStringList names;
        for (const auto& known : file->profiles()) {
            names << known.name;
        }
        throw core::Error(
            QStringLiteral("The mail profile \"%1\" is not defined in \"%2\" (defined: %3)")
                .arg(wanted, path, names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "))));
    }
    return *profile;
}

void ProfileFile::addProfile(const MailProfile& profile, bool makeDefault, const QString& path) {
    const bool exists = QFileInfo::exists(path);
    QString document = exists ? QString::fromUtf8(readFile(path)) : QString();
    if (exists) {
        const ProfileFile current = parse(document.toUtf8(), path);
        if (current.find(profile.name) != nullptr) {
            throw core::Error(
                QStringLiteral("The mail profile \"%1\" already exists in \"%2\"").arg(profile.name, path));
        }
    }
    if (!document.isEmpty() && !document.endsWith(QLatin1Char('\n'))) {
        document += QLatin1Char('\n');
    }
    document += profileSection(profile);
    if (makeDefault || !exists) {
        document = withDefault(document, profile.name);
    }
    // What we write must read back; a mistake here must not damage the user's file.
    (void)parse(document.toUtf8(), path);
    writePrivately(path, document.toUtf8());
}

} // namespace quillmark::mail
