// The sendmail: transport with a fake mail program that records what it was given.
#include "core/Error.h"
#include "mail/Transport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace quillmark::mail {
namespace {

class SendmailTransportTest : public testing::Test {
protected:
    QTemporaryDir m_folder;

    [[nodiscard]] QString file(const char* name) const { return m_folder.filePath(QLatin1String(name)); }

    // A mail program that writes its arguments (one a line) and its input to files, complains
    // on standard error and ends with `exitStatus` after running `extra`.
    [[nodiscard]] QString fakeSendmail(int exitStatus, const QString& extra = QString()) const {
        const QString path = file("sendmail");
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "printf '%s\\n' \"$@\" > '%1'\n"
                                    "%3\n"
                                    "cat > '%2'\n"
                                    "echo 'fake: status %4' >&2\n"
                                    "exit %4\n")
                         .arg(file("arguments"), file("input"), extra)
                         .arg(exitStatus)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    [[nodiscard]] std::unique_ptr<Transport> transportFor(const QString& program, int timeoutSeconds = 10) const {
        AccountConfig account;
        account.name = QStringLiteral("Local sendmail");
        account.transport = QStringLiteral("sendmail:") + program;
        account.timeoutSeconds = timeoutSeconds;
        return makeTransport(account);
    }

    [[nodiscard]] QByteArray recorded(const char* name) const {
        QFile recordedFile(file(name));
        return recordedFile.open(QIODevice::ReadOnly) ? recordedFile.readAll() : QByteArray();
    }

    static Envelope envelope() {
        return Envelope{QStringLiteral("ann@example.com"),
                        {QStringLiteral("bob@example.org"), QStringLiteral("-oQ/tmp@example.org")}};
    }
};

TEST_F(SendmailTransportTest, TheProgramGetsTheEnvelopeAsArgumentsAndTheMessageOnItsInput) {
    auto transport = transportFor(fakeSendmail(0));
    const DeliveryResult result = transport->deliver(envelope(), "Subject: Hi\r\n\r\nBody\r\n.\r\n");
    EXPECT_EQ(result.outcome, DeliveryOutcome::Accepted) << qPrintable(result.description);
    // A recipient that looks like an option stays a recipient, after "--".
    EXPECT_EQ(recorded("arguments"), QByteArray("-i\n-f\nann@example.com\n--\nbob@example.org\n-oQ/tmp@example.org\n"));
    // Local mail programs take the system's line ends.
    EXPECT_EQ(recorded("input"), QByteArray("Subject: Hi\n\nBody\n.\n"));
}

struct StatusCase {
    int exitStatus;
    DeliveryOutcome outcome;
};

void PrintTo(const StatusCase& row, std::ostream* out) {
    *out << "exit status " << row.exitStatus;
}

class SendmailStatusTest : public SendmailTransportTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(SendmailStatusTest, TheExitStatusDecides) {
    auto transport = transportFor(fakeSendmail(GetParam().exitStatus));
    const DeliveryResult result = transport->deliver(envelope(), "Subject: Hi\r\n\r\nBody\r\n");
    EXPECT_EQ(result.outcome, GetParam().outcome) << qPrintable(result.description);
    if (GetParam().outcome != DeliveryOutcome::Accepted) {
        EXPECT_TRUE(result.description.contains(QStringLiteral("fake: status %1").arg(GetParam().exitStatus)))
            << qPrintable(result.description);
    }
}

INSTANTIATE_TEST_SUITE_P(Statuses, SendmailStatusTest,
                         testing::Values(StatusCase{0, DeliveryOutcome::Accepted},
                                         StatusCase{75, DeliveryOutcome::TryLater},
                                         StatusCase{1, DeliveryOutcome::Refused},
                                         StatusCase{67, DeliveryOutcome::Refused}));

TEST_F(SendmailTransportTest, AProgramThatHangsIsEndedAfterTheTimeout) {
    auto transport = transportFor(fakeSendmail(0, QStringLiteral("sleep 30")), 1);
    QElapsedTimer clock;
    clock.start();
    const DeliveryResult result = transport->deliver(envelope(), "Subject: Hi\r\n\r\nBody\r\n");
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_EQ(result.outcome, DeliveryOutcome::TryLater);
    EXPECT_TRUE(result.description.contains(QStringLiteral("1 seconds"))) << qPrintable(result.description);
}

TEST_F(SendmailTransportTest, AProgramThatStopsReadingIsJudgedByItsStatus) {
    const QString program = file("sendmail-refusing");
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho 'no such user' >&2\nexit 1\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    auto transport = transportFor(program);
    const DeliveryResult result = transport->deliver(envelope(), QByteArray(4 * 1024 * 1024, 'x'));
    EXPECT_EQ(result.outcome, DeliveryOutcome::Refused);
    EXPECT_TRUE(result.description.contains(QStringLiteral("no such user"))) << qPrintable(result.description);
}

TEST_F(SendmailTransportTest, AMissingProgramKeepsTheMessageForLater) {
    auto transport = transportFor(file("no-such-sendmail"));
    const DeliveryResult result = transport->deliver(envelope(), "Subject: Hi\r\n\r\n");
    EXPECT_EQ(result.outcome, DeliveryOutcome::TryLater);
    EXPECT_TRUE(result.description.contains(file("no-such-sendmail"))) << qPrintable(result.description);
    EXPECT_THROW(transport->verify(), core::Error);
}

TEST_F(SendmailTransportTest, VerifyAcceptsARunnableProgram) {
    auto transport = transportFor(fakeSendmail(0));
    EXPECT_NO_THROW(transport->verify());
    EXPECT_FALSE(QFile::exists(file("arguments")));
}

TEST_F(SendmailTransportTest, AnInjectedAddressNeverReachesTheProgram) {
    auto transport = transportFor(fakeSendmail(0));
    const Envelope bad{QStringLiteral("ann@example.com"), {QStringLiteral("bob@example.org\nmallory@example.org")}};
    const DeliveryResult result = transport->deliver(bad, "Subject: Hi\r\n\r\n");
    EXPECT_EQ(result.outcome, DeliveryOutcome::Refused);
    EXPECT_FALSE(QFile::exists(file("arguments")));
}

} // namespace
} // namespace quillmark::mail
