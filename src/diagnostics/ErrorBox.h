#pragma once

#include <QString>
#include <functional>

namespace quillmark::diagnostics {

// Shows a failure of the log writer to the user and returns once it has been acknowledged.
// Until a window layer installs a real modal box, the text goes to standard error, so a
// process without a display never waits for a button nobody can press.
void showErrorBox(const QString& text, const QString& caption);

using ErrorBoxHandler = std::function<void(const QString& text, const QString& caption)>;
// Installs the box; an empty handler restores the standard-error fallback.
void setErrorBoxHandler(ErrorBoxHandler handler);

} // namespace quillmark::diagnostics
