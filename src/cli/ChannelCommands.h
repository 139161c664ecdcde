#pragma once

#include "cli/SettingsCommands.h"

namespace quillmark::cli {

// `quillmark show|suspend|resume|halt [--profile P]`: the numbered commands, sent through the
// command channel to the window a profile's sender published.
void addChannelCommands(CLI::App& app, CommandAction& action);

} // namespace quillmark::cli
