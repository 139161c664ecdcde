#include "mail/ChildProcess.h"

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace quillmark::mail {

namespace {
constexpr qsizetype kMaxShownError = 500;
} // namespace

void runInOwnProcessGroup(QProcess& process) {
    process.setChildProcessModifier([] { ::setsid(); });
}

void endProcessGroup(QProcess& process) {
    const auto pid = static_cast<pid_t>(process.processId());
    if (pid > 0) {
        ::kill(-pid, SIGKILL);
    }
    process.kill();
    process.waitForFinished(5000);
}

QString shownError(const QByteArray& standardError) {
    QString text = QString::fromUtf8(standardError).simplified();
    if (text.size() > kMaxShownError) {
        text = text.left(kMaxShownError) + QStringLiteral("...");
    }
    return text;
}

} // namespace quillmark::mail
