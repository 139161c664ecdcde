#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace quillmark::cli {

// The action a parsed sub-command runs; its result is the process's exit status.
using CommandAction = std::function<int()>;

// `quillmark settings get|set|list`: direct access to the settings store.
void addSettingsCommands(CLI::App& app, CommandAction& action);

} // namespace quillmark::cli
