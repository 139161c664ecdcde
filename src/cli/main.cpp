#include "cli/ChannelCommands.h"
#include "cli/Console.h"
#include "cli/OutboxCommands.h"
#include "cli/PreviewCommand.h"
#include "cli/ProfileCommands.h"
#include "cli/SendCommand.h"
#include "cli/SettingsCommands.h"
#include "cli/StatusCommand.h"
#include "core/Error.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    using namespace quillmark;
    CLI::App app{"quillmark: prepares, steers and inspects Quillmark campaigns", "quillmark"};
    app.require_subcommand(1);
    cli::CommandAction action;
    cli::addSettingsCommands(app, action);
    cli::addProfileCommands(app, action);
    cli::addOutboxCommands(app, action);
    cli::addPreviewCommand(app, action);
    cli::addSendCommand(app, action);
    cli::addChannelCommands(app, action);
    cli::addStatusCommand(app, action);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    try {
        return action ? action() : cli::kExitOk;
    } catch (const std::exception& failure) {
        cli::printError(core::describe(failure));
        return cli::kExitFailure;
    }
}
