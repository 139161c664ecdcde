#include "cli/ChannelCommands.h"

#include "cli/Console.h"
#include "cli/SenderProcess.h"
#include "core/Error.h"
#include "ipc/CommandClient.h"

#include <array>
#include <memory>

namespace quillmark::cli {

namespace {

// The numbered commands a sender understands.
struct ChannelCommand {
    const char* name;
    std::int32_t code;
    const char* description;
};

constexpr std::int32_t kSuspendCode = 2;

constexpr std::array<ChannelCommand, 4> kCommands{{
    {"show", 1, "Show the sender's progress window"},
    {"suspend", kSuspendCode, "Suspend the campaign and end the sender; resume it later with send or resume"},
    {"resume", 3, "Resume a paused or suspended campaign in the running sender"},
    {"halt", 4, "Cancel the campaign; the sender stays open"},
}};

constexpr std::chrono::seconds kCommandTimeout{10};
// A suspended sender writes its state before it closes; this is ample for that.
constexpr std::chrono::seconds kSuspendSettleTime{5};

struct ChannelArguments {
    std::string profile;
};

int sendChannelCommand(const ChannelCommand& command, const ChannelArguments& args) {
    const SenderProfile profile = resolveSenderProfile(QString::fromStdString(args.profile));
    const auto window = publishedWindow(profile);
    if (!window) {
        throw core::Error(
            QStringLiteral("No Quillmark sender has published a window for profile %1").arg(profile.name));
    }
    if (!isListening(*window)) {
        throw core::Error(QStringLiteral("No Quillmark sender is running for profile %1 (window %2 was published, "
                                         "but nothing listens for it)")
                              .arg(profile.name)
                              .arg(*window));
    }
    try {
        (void)ipc::sendCommand(*window, command.code, QByteArray(), kCommandTimeout);
    } catch (const core::Error&) {
        // A suspended sender closes its window, and may be gone before its answer is written;
        // the state it stored tells whether the command was carried out.
        if (command.code != kSuspendCode || !waitForState(profile, QStringLiteral("Suspended"), kSuspendSettleTime)) {
            throw;
        }
    }
    printLine(QStringLiteral("Sent '%1' to the Quillmark sender of profile %2 (window %3).")
                  .arg(QLatin1String(command.name), profile.name)
                  .arg(*window));
    return kExitOk;
}

} // namespace

void addChannelCommands(CLI::App& app, CommandAction& action) {
    for (const ChannelCommand& command : kCommands) {
        auto args = std::make_shared<ChannelArguments>();
        auto* sub = app.add_subcommand(command.name, command.description);
        sub->add_option("--profile", args->profile, "Mail profile (default: the default profile)");
        sub->callback(
            [&action, args, &command] { action = [args, &command] { return sendChannelCommand(command, *args); }; });
    }
}

} // namespace quillmark::cli
