#include "cli/StatusCommand.h"

#include "campaign/CampaignFiles.h"
#include "campaign/DataFile.h"
#include "cli/Console.h"
#include "cli/SenderProcess.h"
#include "core/Error.h"
#include "settings/SettingsKeys.h"

#include <QFileInfo>
#include <memory>
#include <utility>
#include <vector>

namespace quillmark::cli {

namespace {

struct StatusArguments {
    std::string profile;
};

using Row = std::pair<QString, QString>;

QString recipientCount(const QString& dataFile) {
    if (dataFile.isEmpty()) {
        return QStringLiteral("unknown");
    }
    const campaign::DataFile file = campaign::DataFile::load(dataFile);
    if (!file.isLoaded() || file.campaignElement().empty()) {
        return QStringLiteral("unknown");
    }
    return QString::number(file.recipients()->length());
}

QString nextRecipient(const SenderProfile& profile, const QString& dataFile) {
    std::int32_t index = 0;
    try {
        index = settings::readFor(profile.application, settings::keys::RecipientIndex);
    } catch (const core::Error& failure) {
        return QStringLiteral("unreadable: RecipientIndex is not a number (%1)").arg(failure.description());
    }
    if (index == -1) {
        return QStringLiteral("none left");
    }
    return QStringLiteral("%1 of %2 (index %3)")
        .arg(static_cast<qint64>(index) + 1)
        .arg(recipientCount(dataFile))
        .arg(index);
}

QString senderState(const SenderProfile& profile) {
    const auto window = publishedWindow(profile);
    if (!window) {
        return QStringLiteral("not running (no window published)");
    }
    if (isListening(*window)) {
        return QStringLiteral("running, listening for commands (window %1)").arg(*window);
    }
    return QStringLiteral("not running (window %1 was published; nothing listens for it)").arg(*window);
}

QString reportFile(const SenderProfile& profile, const QString& subject) {
    const QString path = reportFilePath(profile, subject);
    std::int32_t wanted = 1;
    try {
        wanted = settings::readFor(profile.application, settings::keys::ReportWanted);
    } catch (const core::Error&) {
        return path + QStringLiteral(" (ReportWanted is not a number)");
    }
    if (wanted == 0) {
        return path + QStringLiteral(" (reports are switched off)");
    }
    return QFileInfo::exists(path) ? path : path + QStringLiteral(" (not written yet)");
}

// The campaign's name (its template's subject) and its report file.
void addCampaignRows(std::vector<Row>& rows, const SenderProfile& profile, const QString& dataFile) {
    if (dataFile.isEmpty()) {
        rows.emplace_back(QStringLiteral("Campaign"), QStringLiteral("none prepared"));
        return;
    }
    try {
        const QString subject = templateSubject(campaign::templatePathFor(dataFile));
        rows.emplace_back(QStringLiteral("Campaign"), subject.isEmpty() ? QStringLiteral("(no subject)") : subject);
        rows.emplace_back(QStringLiteral("Report file"), reportFile(profile, subject));
    } catch (const core::Error& failure) {
        rows.emplace_back(QStringLiteral("Campaign"), QStringLiteral("unknown: ") + failure.description());
    }
}

int status(const StatusArguments& args) {
    const SenderProfile profile = resolveSenderProfile(QString::fromStdString(args.profile));
    const QString dataFile = settings::readFor(profile.application, settings::keys::DataFilePath);

    std::vector<Row> rows;
    rows.emplace_back(QStringLiteral("Profile"), profile.name);
    rows.emplace_back(QStringLiteral("State"), settings::readFor(profile.application, settings::keys::SendState));
    rows.emplace_back(QStringLiteral("Next recipient"), nextRecipient(profile, dataFile));
    rows.emplace_back(QStringLiteral("Data file"), dataFile.isEmpty() ? QStringLiteral("none") : dataFile);
    addCampaignRows(rows, profile, dataFile);
    rows.emplace_back(QStringLiteral("Sender"), senderState(profile));

    qsizetype width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.first.size() + 1);
    }
    for (const auto& [label, value] : rows) {
        printLine((label + QLatin1Char(':')).leftJustified(width + 2) + value);
    }
    return kExitOk;
}

} // namespace

void addStatusCommand(CLI::App& app, CommandAction& action) {
    auto args = std::make_shared<StatusArguments>();
    auto* command = app.add_subcommand("status", "Show where a profile's campaign stands and whether a sender runs");
    command->add_option("--profile", args->profile, "Mail profile (default: the default profile)");
    command->callback([&action, args] { action = [args] { return status(*args); }; });
}

} // namespace quillmark::cli
