#include "support/Processes.h"

#include "support/TestHome.h"

#include <QProcess>

namespace quillmark::test {

ProcessResult runProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(timeoutMs)) {
        result.standardError = process.errorString();
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
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

ProcessResult runController(const QStringList& arguments, int timeoutMs) {
    return runProgram(controllerPath(), arguments, timeoutMs);
}

} // namespace quillmark::test
