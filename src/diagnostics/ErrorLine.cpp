#include "diagnostics/ErrorLine.h"

#include "core/Error.h"
#include "core/Executable.h"
#include "diagnostics/Logging.h"

namespace quillmark::diagnostics {

QString errorLineText(int step, const QString& description) {
    return QStringLiteral("Error occurred at line %1.  Reason: ").arg(step) + description;
}

QString errorLineText(const QString& description) {
    return QStringLiteral("Error occurred.  Reason: ") + description;
}

QString executableSource(QStringView procedure) {
    return core::executableName() + QLatin1Char('.') + procedure.toString();
}

QString productSource(QStringView procedure) {
    return QStringLiteral("Quillmark.") + procedure.toString();
}

void logTrappedError(const QString& source, int step, const std::exception& failure) {
    LogError(errorLineText(step, core::describe(failure)), source);
}

void logTrappedError(const QString& source, const std::exception& failure) {
    LogError(errorLineText(core::describe(failure)), source);
}

} // namespace quillmark::diagnostics
