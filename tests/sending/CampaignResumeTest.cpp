// A sender killed outright in the middle of a campaign, then started again: the campaign goes on
// at the stored index. The index is stored after each Send returns, so a kill between the two
// repeats at most that one recipient, and no recipient is ever skipped.
#include "EngineFixture.h"
#include "support/Processes.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QProcess>
#include <gtest/gtest.h>

namespace quillmark::test {
namespace {

constexpr int kRecipients = 20;
constexpr int kKillAtIndex = 5;

QString runnerPath() {
    return QStringLiteral(QUILLMARK_CAMPAIGN_RUNNER);
}

QString addressOf(int recipient) {
    return QStringLiteral("r%1@example.com").arg(recipient, 2, 10, QLatin1Char('0'));
}

class CampaignResumeTest : public EngineFixture {
protected:
    // How many messages each recipient's address received, read back from the delivery folder.
    [[nodiscard]] QHash<QString, int> messagesPerRecipient() const {
        QHash<QString, int> counts;
        for (const auto& message : deliveredParsed()) {
            for (const auto& recipient : message.recipients) {
                ++counts[recipient.address];
            }
        }
        return counts;
    }

    [[nodiscard]] int storedIndex() const { return setting("RecipientIndex").toInt(); }
};

TEST_F(CampaignResumeTest, AKilledSenderResumesAtTheStoredIndexAndRepeatsAtMostTheRecipientInFlight) {
    QString recipients;
    for (int i = 0; i < kRecipients; ++i) {
        recipients += recipientXml(addressOf(i), QStringLiteral("R%1").arg(i));
    }
    writeCampaign(recipients);
    setSetting("SendMessageEveryNSeconds", QStringLiteral("0"));
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    setSetting("RecipientIndex", QStringLiteral("0"));

    // The first sender is held back a little before each tick, so it is surely still sending
    // when the stored index reaches the mark.
    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(runnerPath(), {QStringLiteral("--pause-before-tick-ms"), QStringLiteral("20"),
                               QStringLiteral("--limit-seconds"), QStringLiteral("60")});
    ASSERT_TRUE(first.waitForStarted(10000)) << qPrintable(first.errorString());
    const QDeadlineTimer deadline(30000);
    // waitForFinished also notices a sender that ended on its own.
    while (storedIndex() < kKillAtIndex && !first.waitForFinished(1) && !deadline.hasExpired()) {
    }
    ASSERT_EQ(first.state(), QProcess::Running) << "the sender ended before it could be killed";
    ASSERT_FALSE(deadline.hasExpired()) << "the stored index never reached " << kKillAtIndex;
    first.kill(); // SIGKILL: no clean-up of any kind
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::CrashExit);

    const int killedAt = storedIndex();
    ASSERT_GE(killedAt, kKillAtIndex);
    ASSERT_LT(killedAt, kRecipients - 1) << "the campaign should have been cut short";
    EXPECT_EQ(setting("SendState"), QStringLiteral("Sending"));
    const auto deliveredBefore = deliveredMessages().size();
    EXPECT_TRUE(deliveredBefore == killedAt || deliveredBefore == killedAt + 1)
        << "stored index " << killedAt << ", delivered " << deliveredBefore
        << ": at most the recipient in flight may be delivered beyond the stored index";

    const ProcessResult second =
        runProgram(runnerPath(), {QStringLiteral("--limit-seconds"), QStringLiteral("60")}, 90000);
    ASSERT_EQ(second.exitCode, 0) << qPrintable(second.standardError);

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("-1"));

    const QHash<QString, int> counts = messagesPerRecipient();
    EXPECT_EQ(counts.size(), kRecipients) << "every recipient, and nobody else, got mail";
    for (int i = 0; i < kRecipients; ++i) {
        const int received = counts.value(addressOf(i));
        if (i == killedAt) {
            EXPECT_TRUE(received == 1 || received == 2) << qPrintable(addressOf(i)) << " received " << received;
        } else {
            EXPECT_EQ(received, 1) << qPrintable(addressOf(i));
        }
    }
    const auto deliveredAfter = deliveredMessages().size();
    EXPECT_EQ(deliveredAfter - deliveredBefore, kRecipients - killedAt)
        << "the second sender starts at the stored index and sends each remaining recipient once";

    const QStringList report = reportTexts();
    EXPECT_EQ(report.filter(QStringLiteral("*** Starting New Campaign ***")).size(), 1)
        << "the resumed campaign must not start again from its first recipient";
    EXPECT_EQ(report.filter(QStringLiteral("Successfully sent to ")).size(), kRecipients + (deliveredBefore - killedAt))
        << qPrintable(report.join(QLatin1Char('\n')));
    EXPECT_EQ(report.filter(QStringLiteral("Finished at ")).size(), 1);
    EXPECT_EQ(report.filter(QStringLiteral("Successfully sent to ") + addressOf(kRecipients - 1)).size(), 1);
}

TEST_F(CampaignResumeTest, ARunnerStartedWithoutASendingCampaignSendsNothing) {
    writeCampaign(recipientXml(addressOf(0)) + recipientXml(addressOf(1)));
    setSetting("SendState", QStringLiteral("Completed"));
    const ProcessResult run =
        runProgram(runnerPath(), {QStringLiteral("--limit-seconds"), QStringLiteral("20")}, 30000);
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.standardError);
    EXPECT_TRUE(deliveredMessages().isEmpty());
    EXPECT_TRUE(reportTexts().isEmpty());
}

} // namespace
} // namespace quillmark::test
