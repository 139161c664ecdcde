#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace quillmark::test {

struct ProcessResult {
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

// How a program is run: in which environment and folder (the test's own when empty), and
// whether this process's event loop keeps running meanwhile (for a program that talks to
// something the test serves in-process).
struct ProcessOptions {
    QProcessEnvironment environment;
    QString workingDirectory;
    bool serveEvents = false;
    int timeoutMs = 30000;
};

// Runs a program to its end (killing it after the timeout) and collects what it printed.
[[nodiscard]] ProcessResult runProgram(const QString& program, const QStringList& arguments,
                                       const ProcessOptions& options);
[[nodiscard]] ProcessResult runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 30000);
// Runs the controller, `quillmark`, from the build tree.
[[nodiscard]] ProcessResult runController(const QStringList& arguments, int timeoutMs = 30000);

} // namespace quillmark::test
