#pragma once

#include "cli/SettingsCommands.h"

#include <CLI/CLI.hpp>

namespace quillmark::cli {

// `quillmark profile list|add|test`: the mail profiles of mail-profiles.toml.
void addProfileCommands(CLI::App& app, CommandAction& action);

} // namespace quillmark::cli
