#include "diagnostics/ErrorBox.h"

#include <cstdio>

namespace quillmark::diagnostics {

namespace {

void writeToStandardError(const QString& text, const QString& caption) {
    const QByteArray line = (caption + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

ErrorBoxHandler& installedHandler() {
    static ErrorBoxHandler handler;
    return handler;
}

} // namespace

void showErrorBox(const QString& text, const QString& caption) {
    if (const auto& handler = installedHandler()) {
        handler(text, caption);
    } else {
        writeToStandardError(text, caption);
    }
}

void setErrorBoxHandler(ErrorBoxHandler handler) {
    installedHandler() = std::move(handler);
}

} // namespace quillmark::diagnostics
