#include "cli/Console.h"

#include <cstdio>

namespace quillmark::cli {

namespace {
void writeLine(std::FILE* stream, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

void printLine(const QString& text) {
    writeLine(stdout, text);
}

void printError(const QString& text) {
    writeLine(stderr, QStringLiteral("quillmark: ") + text);
}

} // namespace quillmark::cli
