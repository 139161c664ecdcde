#pragma once

#include "cli/SettingsCommands.h"

namespace quillmark::cli {

// `quillmark status [--profile P]`: where a profile's campaign stands, read from the store.
void addStatusCommand(CLI::App& app, CommandAction& action);

} // namespace quillmark::cli
