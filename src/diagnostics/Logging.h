#pragma once

#include <QString>
#include <functional>

// The four procedures through which every part of the process logs. Each makes one call on a
// fresh CLog. Note the order of arguments: LogError takes the text first.

namespace quillmark::diagnostics {

// An information line, module = the executable name; written only when logging is wanted.
void LogMessage(const QString& source, const QString& text);
// An error line, module = the executable name; written whether or not logging is wanted.
void LogError(const QString& text, const QString& source);
// A line of the current campaign's report (and its copy in the log).
void LogReport(const QString& text);
// An information line whose module is the product word "Quillmark".
void LogProductMessage(const QString& source, const QString& text);

// Whether information lines (LogMessage, LogProductMessage) would be written now, for callers
// that would otherwise build many lines only for them to be dropped.
[[nodiscard]] bool informationLinesWanted();

// The report name of the loaded campaign, which names the report file. The campaign state
// installs its source; until then the name is empty.
[[nodiscard]] QString currentReportName();
void setReportNameSource(std::function<QString()> source);

} // namespace quillmark::diagnostics
