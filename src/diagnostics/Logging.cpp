#include "diagnostics/Logging.h"

#include "core/Executable.h"
#include "diagnostics/CLog.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"

namespace quillmark::diagnostics {

namespace {
std::function<QString()>& reportNameSource() {
    static std::function<QString()> source;
    return source;
}
} // namespace

void LogMessage(const QString& source, const QString& text) {
    CLog().SaveMessage(core::executableName(), source, text, false);
}

void LogError(const QString& text, const QString& source) {
    CLog().SaveMessage(core::executableName(), source, text, true);
}

void LogReport(const QString& text) {
    CLog().SaveReportMessage(currentReportName(), text);
}

void LogProductMessage(const QString& source, const QString& text) {
    CLog().SaveMessage(QStringLiteral("Quillmark"), source, text, false);
}

bool informationLinesWanted() {
    if (settings::applicationName().isEmpty()) {
        return false;
    }
    try {
        return settings::read(settings::keys::LogFileWanted) != 0;
    } catch (const std::exception&) {
        return true; // the log writer reports the unreadable setting itself
    }
}

QString currentReportName() {
    const auto& source = reportNameSource();
    return source ? source() : QString();
}

void setReportNameSource(std::function<QString()> source) {
    reportNameSource() = std::move(source);
}

} // namespace quillmark::diagnostics
