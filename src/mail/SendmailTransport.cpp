#include "mail/SendmailTransport.h"

#include "core/Error.h"
#include "mail/ChildProcess.h"
#include "mail/SmtpReplies.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <csignal>
#include <sys/types.h>
#include <sysexits.h>
#include <unistd.h>
#include <utility>

namespace quillmark::mail {

namespace {

QString shownError(QProcess& process) {
    const QString text = mail::shownError(process.readAllStandardError());
    return text.isEmpty() ? QStringLiteral("(no message)") : text;
}

// A local mail program expects the system's own line ends.
QByteArray withLf(const QByteArray& message) {
    QByteArray text = message;
    text.replace("\r\n", "\n");
    return text;
}

QStringList argumentsFor(const Envelope& envelope) {
    QStringList arguments{QStringLiteral("-i"), QStringLiteral("-f"), envelope.sender, QStringLiteral("--")};
    arguments += envelope.recipients;
    return arguments;
}

DeliveryResult outcomeOf(QProcess& process, const QString& program) {
    if (process.exitStatus() != QProcess::NormalExit) {
        return {DeliveryOutcome::TryLater,
                QStringLiteral("The mail program %1 was ended by a signal: %2").arg(program, shownError(process))};
    }
    const int status = process.exitCode();
    if (status == 0) {
        return {DeliveryOutcome::Accepted, QString()};
    }
    if (status == EX_TEMPFAIL) {
        return {
            DeliveryOutcome::TryLater,
            QStringLiteral("The mail program %1 cannot take the message now: %2").arg(program, shownError(process))};
    }
    return {DeliveryOutcome::Refused, QStringLiteral("The mail program %1 refused the message (exit status %2): %3")
                                          .arg(program)
                                          .arg(status)
                                          .arg(shownError(process))};
}

} // namespace

SendmailTransport::SendmailTransport(QString program, int timeoutSeconds)
    : m_program(std::move(program)), m_timeoutSeconds(std::max(1, timeoutSeconds)) {}

DeliveryResult SendmailTransport::deliver(const Envelope& envelope, const QByteArray& message) {
    if (auto refused = refusedEnvelope(envelope)) {
        return *refused;
    }
    const QDeadlineTimer deadline{std::chrono::seconds(m_timeoutSeconds)};
    QProcess process;
    runInOwnProcessGroup(process);
    process.start(m_program, argumentsFor(envelope));
    if (!process.waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        return {DeliveryOutcome::TryLater,
                QStringLiteral("Cannot run the mail program %1: %2").arg(m_program, process.errorString())};
    }
    // A program that exits without reading everything is judged by its exit status alone.
    process.write(withLf(message));
    process.closeWriteChannel();
    if (!process.waitForFinished(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
        endProcessGroup(process);
        return {DeliveryOutcome::TryLater, QStringLiteral("The mail program %1 did not finish within %2 seconds")
                                               .arg(m_program)
                                               .arg(m_timeoutSeconds)};
    }
    return outcomeOf(process, m_program);
}

void SendmailTransport::verify() {
    const QFileInfo program(m_program);
    if (!program.isFile() || !program.isExecutable()) {
        throw core::Error(QStringLiteral("The mail program %1 does not exist or cannot be run").arg(m_program));
    }
}

} // namespace quillmark::mail
