#include "cli/OutboxCommands.h"

#include "cli/Console.h"
#include "core/Error.h"
#include "mail/MailStore.h"
#include "mail/MimeReader.h"
#include "mail/RDOSession.h"

#include <memory>

namespace quillmark::cli {

namespace {

struct OutboxArguments {
    std::string profile;
};

std::shared_ptr<mail::RDOSession> logon(const OutboxArguments& args) {
    auto session = mail::RDOSession::make();
    if (args.profile.empty()) {
        session->logon();
    } else {
        session->logon(QString::fromStdString(args.profile));
    }
    return session;
}

QString subjectOf(const mail::QueuedMessage& message) {
    try {
        return mail::MimeReader::read(message.spool.message, message.entry).content.subject;
    } catch (const core::Error&) {
        return QStringLiteral("(unreadable; a flush moves it to the Failed folder)");
    }
}

int listOutbox(const OutboxArguments& args) {
    const auto session = logon(args);
    const auto messages = session->queuedMessages();
    const QString folder = session->store().folderPath(mail::MailStore::outboxName());
    if (messages.empty()) {
        printLine(QStringLiteral("The Outbox of \"%1\" is empty (%2).").arg(session->profileName(), folder));
        return kExitOk;
    }
    printLine(QStringLiteral("%1 queued in the Outbox of \"%2\" (%3), oldest first:")
                  .arg(messages.size())
                  .arg(session->profileName(), folder));
    for (const auto& message : messages) {
        printLine(QStringLiteral("  %1  %2  to %3  \"%4\"  (%5)")
                      .arg(message.spool.queued.toLocalTime().toString(Qt::ISODate), message.spool.account,
                           message.spool.envelope.recipients.join(QStringLiteral(", ")), subjectOf(message),
                           message.spool.reason));
    }
    return kExitOk;
}

int flushOutbox(const OutboxArguments& args) {
    const auto session = logon(args);
    const mail::FlushReport report = session->deliverQueued();
    if (report.busyElsewhere) {
        printError(QStringLiteral("the Outbox of \"%1\" is being delivered by another process; try again later")
                       .arg(session->profileName()));
        return kExitFailure;
    }
    printLine(QStringLiteral("Delivered %1, %2 still queued, %3 refused and moved to the Failed folder.")
                  .arg(report.delivered)
                  .arg(report.stillQueued)
                  .arg(report.failed));
    if (!report.problems.isEmpty()) {
        printError(report.problems.join(QStringLiteral("; ")));
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

void addOutboxCommands(CLI::App& app, CommandAction& action) {
    auto args = std::make_shared<OutboxArguments>();
    auto* group = app.add_subcommand("outbox", "Messages waiting in a mail profile's Outbox");
    group->require_subcommand(1);

    auto* list = group->add_subcommand("list", "List the queued messages, oldest first");
    list->add_option("PROFILE", args->profile, "Profile (default: the default profile)");
    list->callback([&action, args] { action = [args] { return listOutbox(*args); }; });

    auto* flush = group->add_subcommand("flush", "Deliver the queued messages now");
    flush->add_option("PROFILE", args->profile, "Profile (default: the default profile)");
    flush->callback([&action, args] { action = [args] { return flushOutbox(*args); }; });
}

} // namespace quillmark::cli
