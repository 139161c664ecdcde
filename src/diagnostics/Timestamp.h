#pragma once

#include <QDateTime>
#include <QString>

namespace quillmark::diagnostics {

// Local date and time in the user's general format: short date, a space, long time.
// Log lines, report lines and the campaign's start and finish times all use it.
[[nodiscard]] QString generalDateTime(const QDateTime& moment);
[[nodiscard]] QString nowText();

} // namespace quillmark::diagnostics
