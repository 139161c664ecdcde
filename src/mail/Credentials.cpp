#include "mail/Credentials.h"

#include "core/Error.h"

#include <QProcess>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace quillmark::mail {

namespace {

constexpr qsizetype maxShownError = 300;

// What a failing command wrote to standard error, on one line and of a readable length.
QString shownError(const QByteArray& standardError) {
    QString text = QString::fromUtf8(standardError).simplified();
    if (text.size() > maxShownError) {
        text = text.left(maxShownError) + QStringLiteral("...");
    }
    return text;
}

[[noreturn]] void fail(const AccountConfig& account, const QString& what) {
    throw core::Error(QStringLiteral("The password command of the account \"%1\" %2").arg(account.name, what));
}

// The command runs in its own process group, so a timeout ends whatever the shell started too.
void endProcessGroup(QProcess& process) {
    const auto pid = static_cast<pid_t>(process.processId());
    if (pid > 0) {
        ::kill(-pid, SIGKILL);
    }
    process.kill();
    process.waitForFinished(5000);
}

QString firstLine(const QByteArray& output) {
    QByteArray line = output.left(output.indexOf('\n') < 0 ? output.size() : output.indexOf('\n'));
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    return QString::fromUtf8(line);
}

QString runPasswordCommand(const AccountConfig& account, std::chrono::milliseconds limit) {
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"), *account.passwordCommand});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::setsid(); });
    const int limitMs = static_cast<int>(limit.count());
    process.start();
    if (!process.waitForStarted(limitMs)) {
        fail(account, QStringLiteral("cannot be started: %1").arg(process.errorString()));
    }
    if (!process.waitForFinished(limitMs)) {
        endProcessGroup(process);
        fail(account, QStringLiteral("did not finish within %1 seconds").arg(static_cast<double>(limitMs) / 1000.0));
    }
    const QByteArray standardError = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit) {
        fail(account, QStringLiteral("was ended by a signal: %1").arg(shownError(standardError)));
    }
    if (process.exitCode() != 0) {
        fail(account,
             QStringLiteral("failed with exit status %1: %2").arg(process.exitCode()).arg(shownError(standardError)));
    }
    const QString password = firstLine(process.readAllStandardOutput());
    if (password.isEmpty()) {
        fail(account, QStringLiteral("printed no password"));
    }
    return password;
}

} // namespace

QString resolvePassword(const AccountConfig& account, std::chrono::milliseconds limit) {
    if (account.passwordCommand.has_value() && !account.passwordCommand->trimmed().isEmpty()) {
        return runPasswordCommand(account, limit);
    }
    return account.password.value_or(QString());
}

} // namespace quillmark::mail
