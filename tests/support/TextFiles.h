#pragma once

#include <QString>
#include <QStringList>

namespace quillmark::test {

// The lines of a text file written with CR LF line ends, without the line ends; an empty
// list when the file does not exist. Fails the test if a line end is not CR LF.
[[nodiscard]] QStringList readCrLfLines(const QString& path);

// The fields of one log or report line.
[[nodiscard]] QStringList fieldsOf(const QString& line);

} // namespace quillmark::test
