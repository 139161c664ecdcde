#include "support/TextFiles.h"

#include <QFile>
#include <gtest/gtest.h>

namespace quillmark::test {

QStringList readCrLfLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString text = QString::fromUtf8(file.readAll());
    QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.last().isEmpty()) << "the last line of " << qPrintable(path) << " has no CR LF";
    lines.removeLast();
    for (const auto& line : lines) {
        EXPECT_FALSE(line.contains(QLatin1Char('\n'))) << "bare LF in " << qPrintable(path);
    }
    return lines;
}

QStringList fieldsOf(const QString& line) {
    return line.split(QLatin1Char('\t'));
}

} // namespace quillmark::test
