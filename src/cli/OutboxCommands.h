#pragma once

#include "cli/SettingsCommands.h"

#include <CLI/CLI.hpp>

namespace quillmark::cli {

// `quillmark outbox list|flush [PROFILE]`: the messages waiting in a profile's Outbox.
void addOutboxCommands(CLI::App& app, CommandAction& action);

} // namespace quillmark::cli
