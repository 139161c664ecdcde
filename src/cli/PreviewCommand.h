#pragma once

#include "cli/SettingsCommands.h"

namespace quillmark::cli {

// `quillmark preview DATAFILE [--index N] [--profile P]`: one recipient's personalised message,
// printed, nothing sent.
void addPreviewCommand(CLI::App& app, CommandAction& action);

} // namespace quillmark::cli
