#pragma once

#include "cli/SettingsCommands.h"

namespace quillmark::cli {

// `quillmark send DATAFILE [options]`: prepares a campaign in the store and starts a fresh
// sender for it, optionally waiting until it has finished.
void addSendCommand(CLI::App& app, CommandAction& action);

} // namespace quillmark::cli
