#include "cli/Console.h"
#include "cli/SettingsCommands.h"
#include "core/Error.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    using namespace quillmark;
    CLI::App app{"quillmark: prepares, steers and inspects Quillmark campaigns", "quillmark"};
    app.require_subcommand(1);
    cli::CommandAction action;
    cli::addSettingsCommands(app, action);

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
