#include "mail/Credentials.h"

#include "core/Error.h"
#include "mail/ChildProcess.h"

#include <QProcess>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace quillmark::mail {

namespace {

[[noreturn]] void fail(const AccountConfig& account, const QString& what) {
    throw core::Error(QStringLiteral("The password command of the account \"%1\" %2").arg(account.name, what));
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
    runInOwnProcessGroup(process);
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
