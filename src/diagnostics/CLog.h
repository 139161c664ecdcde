#pragma once

#include <QString>
#include <QVariant>

namespace quillmark::diagnostics {

// Appends one line to the log or to a campaign's report file. It keeps no state: every call
// reads its settings afresh and opens, appends to and closes its file. A failure to write is
// shown in the error box and then forgotten; it never reaches the caller.
class CLog {
public:
    // Appends timestamp TAB message to the report of `reportName` (when reports are wanted),
    // then copies the message to the log with the source "Report".
    void SaveReportMessage(const QString& reportName, const QString& message);
    // Appends timestamp TAB module TAB source TAB message to the log when logging is wanted
    // or `force` is set, and only once the settings application name is known.
    void SaveMessage(const QString& module, const QString& source, const QString& message, bool force);
    // Kept for the maker's tools; it does nothing.
    bool Truncate(const QVariant& ignored);
};

} // namespace quillmark::diagnostics
