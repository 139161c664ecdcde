#include "support/Processes.h"

#include "support/TestHome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>

namespace quillmark::test {

namespace {

// Waits for the end, serving this process's events every 20 ms when asked to.
bool waitForEnd(QProcess& process, const ProcessOptions& options) {
    if (!options.serveEvents) {
        return process.waitForFinished(options.timeoutMs);
    }
    const QDeadlineTimer deadline(options.timeoutMs);
    while (!process.waitForFinished(20)) {
        QCoreApplication::processEvents();
        if (deadline.hasExpired()) {
            return false;
        }
    }
    return true;
}

} // namespace

ProcessResult runProgram(const QString& program, const QStringList& arguments, const ProcessOptions& options) {
    QProcess process;
    if (!options.environment.isEmpty()) {
        process.setProcessEnvironment(options.environment);
    }
    process.setWorkingDirectory(options.workingDirectory);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(options.timeoutMs)) {
        result.standardError = process.errorString();
        return result;
    }
    if (!waitForEnd(process, options)) {
        process.kill();
        process.waitForFinished(5000);
        result.standardError = QStringLiteral("timed out");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    result.standardError = QString::fromUtf8(process.readAllStandardError());
    return result;
}

ProcessResult runProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
    ProcessOptions options;
    options.timeoutMs = timeoutMs;
    return runProgram(program, arguments, options);
}

ProcessResult runController(const QStringList& arguments, int timeoutMs) {
    return runProgram(controllerPath(), arguments, timeoutMs);
}

} // namespace quillmark::test
