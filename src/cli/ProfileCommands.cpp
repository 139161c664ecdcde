#include "cli/ProfileCommands.h"

#include "cli/Console.h"
#include "core/Error.h"
#include "mail/MailAddress.h"
#include "mail/ProfileFile.h"
#include "mail/Transport.h"

#include <memory>

namespace quillmark::cli {

namespace {

struct ProfileArguments {
    std::string name;
    std::string from;
    std::string transport;
    std::string username;
    std::string passwordCommand;
    std::string accountName;
    std::string store;
    bool makeDefault = false;
};

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

void printProfile(const mail::MailProfile& profile, bool isDefault, const QString& note) {
    printLine(QStringLiteral("%1%2  <%3>  store %4%5")
                  .arg(profile.name, isDefault ? QStringLiteral(" (default)") : QString(), profile.userAddress,
                       profile.store, note));
    int position = 0;
    for (const auto& account : profile.accounts) {
        printLine(
            QStringLiteral("  %1. %2  %3  from %4").arg(++position).arg(account.name, account.transport, account.from));
    }
}

int listProfiles() {
    const QString path = mail::ProfileFile::defaultPath();
    const auto file = mail::ProfileFile::load(path);
    if (!file) {
        printProfile(mail::ProfileFile::localProfile(), true,
                     QStringLiteral("  (built in: there is no profile file %1)").arg(path));
        return kExitOk;
    }
    if (file->profiles().empty()) {
        printLine(QStringLiteral("No mail profiles are defined in %1.").arg(path));
        return kExitOk;
    }
    const QString defaultName = file->defaultProfileName();
    for (const auto& profile : file->profiles()) {
        printProfile(profile, profile.name == defaultName, QString());
    }
    return kExitOk;
}

int addProfile(const ProfileArguments& args) {
    const QString name = text(args.name).trimmed();
    if (name.isEmpty()) {
        throw core::Error(QStringLiteral("A profile needs a name"));
    }
    const mail::MailAddress sender = mail::MailAddress::parse(text(args.from));
    mail::AccountConfig account;
    account.name = args.accountName.empty() ? name : text(args.accountName);
    account.from = sender.toString();
    account.transport = text(args.transport);
    account.username = text(args.username);
    if (!args.passwordCommand.empty()) {
        account.passwordCommand = text(args.passwordCommand);
    }
    (void)mail::makeTransport(account); // refuses a transport it does not know, before the file changes

    mail::MailProfile profile;
    profile.name = name;
    profile.userName = sender.name().isEmpty() ? name : sender.name();
    profile.userAddress = sender.address();
    profile.store = text(args.store);
    profile.accounts.push_back(account);
    const QString path = mail::ProfileFile::defaultPath();
    mail::ProfileFile::addProfile(profile, args.makeDefault, path);
    printLine(QStringLiteral("Added the mail profile \"%1\" to %2.").arg(name, path));
    return kExitOk;
}

int testProfile(const ProfileArguments& args) {
    const mail::MailProfile profile = mail::ProfileFile::resolve(text(args.name));
    int failures = 0;
    for (const auto& account : profile.accounts) {
        try {
            mail::makeTransport(account)->verify();
            printLine(QStringLiteral("%1: \"%2\" (%3) connected and authenticated; nothing was sent.")
                          .arg(profile.name, account.name, account.transport));
        } catch (const std::exception& failure) {
            ++failures;
            printError(QStringLiteral("%1: \"%2\" (%3): %4")
                           .arg(profile.name, account.name, account.transport, core::describe(failure)));
        }
    }
    return failures == 0 ? kExitOk : kExitFailure;
}

} // namespace

void addProfileCommands(CLI::App& app, CommandAction& action) {
    auto args = std::make_shared<ProfileArguments>();
    auto* group = app.add_subcommand("profile", "List, add and test mail profiles");
    group->require_subcommand(1);

    auto* list = group->add_subcommand("list", "List the mail profiles and their accounts");
    list->callback([&action] { action = [] { return listProfiles(); }; });

    auto* add = group->add_subcommand("add", "Add a mail profile with one account, keeping the others");
    add->add_option("NAME", args->name, "Profile name, e.g. Work")->required();
    add->add_option("--from", args->from, "Sender, e.g. \"Ann Example <ann@example.com>\"")->required();
    add->add_option("--transport", args->transport,
                    "smtp://host[:port], smtps://host[:port], sendmail:/path or maildir:/folder")
        ->required();
    add->add_option("--username", args->username, "User name for SMTP authentication");
    add->add_option("--password-command", args->passwordCommand, "Command whose first output line is the password");
    add->add_option("--account-name", args->accountName, "Account name (default: the profile name)");
    add->add_option("--store", args->store, "Folder store (default: ~/.local/share/tollmere/mail/NAME)");
    add->add_flag("--default", args->makeDefault, "Make it the default profile");
    add->callback([&action, args] { action = [args] { return addProfile(*args); }; });

    auto* test = group->add_subcommand("test", "Connect and authenticate each account; sends nothing");
    test->add_option("NAME", args->name, "Profile (default: the default profile)");
    test->callback([&action, args] { action = [args] { return testProfile(*args); }; });
}

} // namespace quillmark::cli
