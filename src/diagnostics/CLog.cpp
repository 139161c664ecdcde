#include "diagnostics/CLog.h"

#include "core/Error.h"
#include "core/Executable.h"
#include "diagnostics/ErrorBox.h"
#include "diagnostics/Timestamp.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillmark::diagnostics {

namespace {

const QString kTab = QStringLiteral("\t");

// The maker's default folder is ours to create; a folder the user configured never is. True
// when `filePath` lies in the default folder and that folder exists now.
bool createDefaultFolderFor(const QString& filePath) {
    const QString folder = settings::defaultAppDataFolder();
    return filePath.startsWith(folder) && !filePath.mid(folder.size()).contains(QLatin1Char('/')) &&
           QDir().mkpath(folder);
}

// One open, append and close per line, so other writers of the file never meet our handle. The
// default folder is made only when the file cannot be opened without it.
void appendLine(const QString& path, const QString& line) {
    QFile file(path);
    const auto openForAppending = [&file] { return file.open(QIODevice::WriteOnly | QIODevice::Append); };
    if (!openForAppending() && !(createDefaultFolderFor(path) && openForAppending())) {
        throw core::Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        throw core::Error(QStringLiteral("Cannot write to %1: %2").arg(path, file.errorString()));
    }
}

} // namespace

void CLog::SaveReportMessage(const QString& reportName, const QString& message) {
    QString path;
    try {
        if (settings::read(settings::keys::ReportWanted) != 0) {
            path = settings::read(settings::keys::AppDataFolder) + reportName + QStringLiteral(".txt");
            appendLine(path, nowText() + kTab + message);
        }
    } catch (const std::exception& failure) {
        showErrorBox(QStringLiteral("Error occurred during reporting.  Reason: ") + core::describe(failure) +
                         QStringLiteral("\r\nTrying to write to ") + path,
                     core::executableName() + QStringLiteral(".SaveReportMessage"));
        return;
    }
    SaveMessage(core::executableName(), QStringLiteral("Report"), message, false);
}

void CLog::SaveMessage(const QString& module, const QString& source, const QString& message, bool force) {
    if (settings::applicationName().isEmpty()) {
        return;
    }
    try {
        if (!force && settings::read(settings::keys::LogFileWanted) == 0) {
            return;
        }
        const QString path = settings::read(settings::keys::LogFilePathName);
        appendLine(path, nowText() + kTab + module + kTab + source + kTab + message);
    } catch (const std::exception& failure) {
        showErrorBox(QStringLiteral("Error occurred during logging.  Reason: ") + core::describe(failure),
                     core::executableName() + QStringLiteral(".SaveMessage"));
    }
}

bool CLog::Truncate(const QVariant& /*ignored*/) {
    return false;
}

} // namespace quillmark::diagnostics
