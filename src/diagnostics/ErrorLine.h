#pragma once

#include <QString>
#include <QStringView>
#include <exception>

// The one place where the error lines of trapped failures are formed. A procedure traps its
// failures at its boundary and logs exactly one of these lines.

namespace quillmark::diagnostics {

// "Error occurred at line " + step + ".  Reason: " + description
[[nodiscard]] QString errorLineText(int step, const QString& description);
// "Error occurred.  Reason: " + description
[[nodiscard]] QString errorLineText(const QString& description);

// Sources of error lines: the executable name or the product word, a full stop, the procedure.
[[nodiscard]] QString executableSource(QStringView procedure);
[[nodiscard]] QString productSource(QStringView procedure);

// Logs a trapped failure through LogError.
void logTrappedError(const QString& source, int step, const std::exception& failure);
void logTrappedError(const QString& source, const std::exception& failure);

} // namespace quillmark::diagnostics
