#include "cli/SendCommand.h"

#include "campaign/CampaignFiles.h"
#include "campaign/DataFile.h"
#include "cli/Console.h"
#include "cli/DataFileInput.h"
#include "cli/SenderProcess.h"
#include "core/Error.h"
#include "ipc/CommandClient.h"
#include "priority/PriorityClass.h"
#include "settings/SettingsKeys.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QThread>
#include <csignal>
#include <limits>
#include <memory>

namespace quillmark::cli {

namespace {

constexpr std::int32_t kSuspendCode = 2;
constexpr std::chrono::seconds kCommandTimeout{10};
constexpr std::chrono::seconds kSenderExitTimeout{10};
// The longest delay the sender's timer can hold, in seconds (its interval is in milliseconds).
constexpr std::int32_t kMaxDelaySeconds = std::numeric_limits<std::int32_t>::max() / 1000;
constexpr unsigned long kWaitPollMs = 200;
// A sender that has not listened for this long while its campaign still reads "Sending" has
// gone; before it first listens it may still be logging on, so it gets longer.
constexpr qint64 kSilenceBeforeStartMs = 15000;
constexpr qint64 kSilenceWhileRunningMs = 5000;

struct SendArguments {
    std::string dataFile;
    std::string profile;
    std::string delay = "0";
    std::string sendReceiveAfter;
    std::string priority = priority::kPriorityClasses.front().name;
    std::string sender;
    bool noReport = false;
    bool noNotify = false;
    bool deleteSent = false;
    bool wait = false;
};

// What the store receives for one campaign, checked.
struct CampaignSettings {
    std::int32_t delay = 0;
    std::int32_t sendReceiveAfter = 0; // 0 = no send/receive
    QString priority;
};

struct Campaign {
    QString dataFile;
    QString subject;
    std::int32_t recipients = 0;
};

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::int32_t wholeNumber(const std::string& given, std::int32_t lowest, std::int32_t highest, const QString& what) {
    bool ok = false;
    const int value = text(given).trimmed().toInt(&ok);
    if (!ok || value < lowest || value > highest) {
        throw core::Error(QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                              .arg(what)
                              .arg(lowest)
                              .arg(highest)
                              .arg(text(given)));
    }
    return value;
}

CampaignSettings checkSettings(const SendArguments& args) {
    CampaignSettings checked;
    checked.delay = wholeNumber(args.delay, 0, kMaxDelaySeconds, QStringLiteral("--delay (seconds)"));
    if (!args.sendReceiveAfter.empty()) {
        checked.sendReceiveAfter = wholeNumber(args.sendReceiveAfter, 1, std::numeric_limits<std::int32_t>::max(),
                                               QStringLiteral("--send-receive-after"));
    }
    checked.priority = text(args.priority);
    if (!priority::classByName(checked.priority)) {
        QStringList names;
        for (const auto& entry : priority::kPriorityClasses) {
            names << QLatin1String(entry.name);
        }
        throw core::Error(QStringLiteral("--priority must be one of %1 (written exactly so), not \"%2\"")
                              .arg(names.join(QStringLiteral(", ")), checked.priority));
    }
    return checked;
}

Campaign loadCampaign(const QString& given) {
    const QFileInfo info(given);
    const QString dataFile = info.absoluteFilePath();
    if (!info.isFile()) {
        throw core::Error(QStringLiteral("The data file %1 does not exist").arg(dataFile));
    }
    const campaign::DataFile file = readCampaignDataFile(dataFile);
    (void)file.messageClass(); // the sender needs it for every copy
    const QString templatePath = campaign::templatePathFor(dataFile);
    if (!QFileInfo(templatePath).isFile()) {
        throw core::Error(
            QStringLiteral("The template message %1 of the data file %2 does not exist").arg(templatePath, dataFile));
    }
    return {dataFile, templateSubject(templatePath), file.recipients()->length()};
}

// A process loads its campaign once, so an idle or finished sender is ended before a fresh
// one starts; one that is still sending is left alone. Suspend ends it without touching the
// campaign's progress the way halt would.
void endIdleSender(const SenderProfile& profile) {
    const auto window = publishedWindow(profile);
    if (!window || !isListening(*window)) {
        return;
    }
    if (settings::readFor(profile.application, settings::keys::SendState) == QStringLiteral("Sending")) {
        throw core::Error(QStringLiteral("A Quillmark sender is still sending a campaign for profile %1 (window %2); "
                                         "wait for it, or end it with quillmark halt or quillmark suspend first")
                              .arg(profile.name)
                              .arg(*window));
    }
    QString failure;
    try {
        (void)ipc::sendCommand(*window, kSuspendCode, QByteArray(), kCommandTimeout);
    } catch (const core::Error& error) {
        failure = error.description(); // expected when it exits before answering; its silence decides
    }
    if (!waitUntilSilent(*window, kSenderExitTimeout)) {
        throw core::Error(QStringLiteral("The idle Quillmark sender of profile %1 (window %2) did not end when asked%3")
                              .arg(profile.name)
                              .arg(*window)
                              .arg(failure.isEmpty() ? QString() : QStringLiteral(": ") + failure));
    }
}

void writeCampaignSettings(const SenderProfile& profile, const Campaign& campaign, const CampaignSettings& checked,
                           const SendArguments& args) {
    namespace keys = settings::keys;
    const QString& application = profile.application;
    settings::writeFor(application, keys::DataFilePath, campaign.dataFile);
    settings::writeFor(application, keys::SendMessageEveryNSeconds, checked.delay);
    settings::writeFor(application, keys::ReportWanted, args.noReport ? 0 : 1);
    settings::writeFor(application, keys::EmailWhenFinished, args.noNotify ? 0 : 1);
    settings::writeFor(application, keys::DeleteSentItems, args.deleteSent ? 1 : 0);
    settings::writeFor(application, keys::PerformSendReceiveWanted, checked.sendReceiveAfter > 0 ? 1 : 0);
    settings::writeFor(application, keys::PerformSendReceive, checked.sendReceiveAfter);
    settings::writeFor(application, keys::EXEPriorityName, checked.priority);
    settings::writeFor(QString::fromLatin1(settings::kMakerName), keys::CurrentProfile, application);
    // The state last: a sender that reads "Sending" finds the whole campaign in place.
    settings::writeFor(application, keys::RecipientIndex, 0);
    settings::writeFor(application, keys::SendState, QStringLiteral("Sending"));
}

// Whether the profile's sender is alive, judged by its command socket.
class SenderWatch {
public:
    explicit SenderWatch(SenderProfile profile) : m_profile(std::move(profile)) { m_sinceHeard.start(); }

    [[nodiscard]] bool gone() {
        const auto window = publishedWindow(m_profile);
        if (window && isListening(*window)) {
            m_heard = true;
            m_sinceHeard.restart();
            return false;
        }
        return m_sinceHeard.elapsed() > (m_heard ? kSilenceWhileRunningMs : kSilenceBeforeStartMs);
    }

private:
    SenderProfile m_profile;
    QElapsedTimer m_sinceHeard;
    bool m_heard = false;
};

int waitForCampaign(const SenderProfile& profile, const Campaign& campaign, bool reportWanted) {
    namespace keys = settings::keys;
    const bool terminal = standardOutputIsTerminal();
    SenderWatch watch(profile);
    QString state;
    while ((state = settings::readFor(profile.application, keys::SendState)) == QStringLiteral("Sending")) {
        if (terminal) {
            printProgress(QStringLiteral("Sending %1/%2 …")
                              .arg(settings::readFor(profile.application, keys::RecipientIndex))
                              .arg(campaign.recipients));
        }
        if (watch.gone()) {
            if (terminal) {
                printLine(QString());
            }
            throw core::Error(QStringLiteral("The Quillmark sender of profile %1 stopped while the campaign was still "
                                             "sending (it resumes at the stored recipient when started again)")
                                  .arg(profile.name));
        }
        QThread::msleep(kWaitPollMs);
    }
    if (terminal) {
        printLine(QString());
    }
    if (state != QStringLiteral("Completed")) {
        throw core::Error(QStringLiteral("The campaign of profile %1 ended %2, not Completed (next recipient index %3)")
                              .arg(profile.name, state)
                              .arg(settings::readFor(profile.application, keys::RecipientIndex)));
    }
    printLine(QStringLiteral("Campaign completed: %1 recipients.").arg(campaign.recipients));
    printLine(reportWanted ? QStringLiteral("Report file: ") + reportFilePath(profile, campaign.subject)
                           : QStringLiteral("No report file: reports were switched off."));
    return kExitOk;
}

// A finished sender shows its window until someone presses OK; whoever waited for the campaign
// from a terminal has seen the end, so the sender is ended cleanly (its stored state stays).
void endFinishedSender(std::int64_t pid) {
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), SIGTERM) == 0) {
        printLine(QStringLiteral("Ended the sender (process %1).").arg(pid));
    }
}

int send(const SendArguments& args) {
    const CampaignSettings checked = checkSettings(args);
    const Campaign campaign = loadCampaign(text(args.dataFile));
    const SenderProfile profile = resolveSenderProfile(text(args.profile));
    const QString program = senderExecutable(text(args.sender));

    endIdleSender(profile);
    writeCampaignSettings(profile, campaign, checked, args);
    const std::int64_t pid = startDetached(program);

    printLine(QStringLiteral("Prepared the campaign \"%1\" (%2 recipients, %3) for profile %4.")
                  .arg(campaign.subject)
                  .arg(campaign.recipients)
                  .arg(campaign.dataFile, profile.name));
    printLine(QStringLiteral("Started the Quillmark sender %1 (process %2).").arg(program).arg(pid));
    if (!args.wait) {
        return kExitOk;
    }
    const int status = waitForCampaign(profile, campaign, !args.noReport);
    endFinishedSender(pid);
    return status;
}

} // namespace

void addSendCommand(CLI::App& app, CommandAction& action) {
    auto args = std::make_shared<SendArguments>();
    auto* command = app.add_subcommand("send", "Prepare a campaign and start a sender for it");
    command->add_option("DATAFILE", args->dataFile, "The campaign's XML data file (its template is beside it)")
        ->required();
    command->add_option("--profile", args->profile, "Mail profile (default: the default profile)");
    command->add_option("--delay", args->delay, "Seconds between two recipients (default 0)");
    command->add_flag("--no-report", args->noReport, "Write no report file");
    command->add_flag("--no-notify", args->noNotify, "Send no e-mail when the campaign has finished");
    command->add_flag("--delete-sent", args->deleteSent, "Delete each copy once it has been submitted");
    command->add_option("--send-receive-after", args->sendReceiveAfter,
                        "Run a send/receive after every N submitted messages");
    command->add_option("--priority", args->priority,
                        "Priority of the sender: Idle (default), Below Normal, Normal, Above Normal, High, Realtime");
    command->add_flag("--wait", args->wait, "Wait until the campaign has finished; succeed only when it completes");
    command->add_option("--sender", args->sender, "The sending program to start (default: QuillmarkExternal)");
    command->callback([&action, args] { action = [args] { return send(*args); }; });
}

} // namespace quillmark::cli
