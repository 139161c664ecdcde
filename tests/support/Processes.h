#pragma once

#include <QString>
#include <QStringList>

namespace quillmark::test {

struct ProcessResult {
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

// Runs a program to its end (killing it after `timeoutMs`) and collects what it printed.
[[nodiscard]] ProcessResult runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 30000);
// Runs the controller, `quillmark`, from the build tree.
[[nodiscard]] ProcessResult runController(const QStringList& arguments, int timeoutMs = 30000);

} // namespace quillmark::test
