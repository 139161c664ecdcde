#pragma once

#include <QString>

namespace quillmark::campaign {

// The template message file that goes with a campaign data file: the data file's path with
// every ".xml", in any letter case and wherever it stands, replaced by ".oft".
[[nodiscard]] QString templatePathFor(const QString& dataFilePath);

// Removes every \ / : * ? " < > | so the text can name a file. Nothing else is changed.
[[nodiscard]] QString SanitizeFileName(const QString& text);

// The body-format word of a template: 1 "TEXT", 2 "HTML", 3 "RTF"; `previous` for any other.
[[nodiscard]] QString emailFormatFor(int bodyFormat, const QString& previous);

} // namespace quillmark::campaign
