#pragma once

#include <QString>

namespace quillmark::cli {

// Standard output and error of the controller, in UTF-8.
void printLine(const QString& text);
void printError(const QString& text);

// The controller's exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;

} // namespace quillmark::cli
