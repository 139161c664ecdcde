// Whole campaigns through the tick, the per-recipient send and the submission, on the real event
// loop, delivering into a Maildir folder.
#include "EngineFixture.h"
#include "core/Executable.h"
#include "sending/ApplicationTimer.h"
#include "sending/Submission.h"

#include <gtest/gtest.h>

namespace quillmark::test {
namespace {

const QString kHeader = QStringLiteral("*** Starting New Campaign ***");

bool startsWith(const QStringList& texts, qsizetype at, const QString& prefix) {
    return texts.value(at).startsWith(prefix);
}

class EngineTest : public EngineFixture {};

TEST_F(EngineTest, ThreeRecipientsWithADelayAreSentOnePerTickAndTheCampaignCompletes) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com"), QStringLiteral("Ann")) +
                  recipientXml(QStringLiteral("bob@example.com"), QStringLiteral("Bob")) +
                  recipientXml(QStringLiteral("cy@example.com")));
    setSetting("SendMessageEveryNSeconds", QStringLiteral("1"));
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    runCampaign();

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("-1"));
    EXPECT_EQ(window.positions, (QList<int>{0, 1, 2, 2})) << "one tick per stored index, then the full bar";
    EXPECT_EQ(window.maximum, 2);
    EXPECT_EQ(window.emailingHistory, (QStringList{QStringLiteral("ann@example.com"), QStringLiteral("bob@example.com"),
                                                   QStringLiteral("cy@example.com"), QString()}));
    EXPECT_TRUE(window.progress.startsWith(QStringLiteral("Finished sending at ")));
    EXPECT_FALSE(window.cancelEnabled || window.pauseEnabled || window.resumeEnabled);
    EXPECT_EQ(window.shows, 1);
    EXPECT_EQ(logTexts(QStringLiteral("Timer")).filter(QStringLiteral("Delaying 1 seconds")).size(), 2);

    const QStringList report = reportTexts();
    ASSERT_EQ(report.size(), 7) << qPrintable(report.join(QLatin1Char('\n')));
    EXPECT_EQ(report[0], kHeader);
    EXPECT_EQ(report[1], QStringLiteral("Name: Spring news for [Substitute: FirstName, Default: \"friend\"]"));
    EXPECT_TRUE(startsWith(report, 2, QStringLiteral("Date: ")));
    EXPECT_EQ(report[3], QStringLiteral("Successfully sent to ann@example.com"));
    EXPECT_EQ(report[4], QStringLiteral("Successfully sent to bob@example.com"));
    EXPECT_EQ(report[5], QStringLiteral("Successfully sent to cy@example.com"));
    EXPECT_TRUE(startsWith(report, 6, QStringLiteral("Finished at ")));

    const auto messages = deliveredParsed();
    ASSERT_EQ(messages.size(), 3U);
    EXPECT_EQ(messages[0].content.subject, QStringLiteral("Spring news for Ann"));
    ASSERT_EQ(messages[0].recipients.size(), 1U);
    EXPECT_EQ(messages[0].recipients[0].address, QStringLiteral("ann@example.com"));
    EXPECT_EQ(messages[0].from, QStringLiteral("Ann Sender <ann.sender@example.com>"));
    EXPECT_TRUE(messages[1].content.body.startsWith(QStringLiteral("Dear Bob,")))
        << qPrintable(messages[1].content.body);
    EXPECT_EQ(messages[2].content.subject, QStringLiteral("Spring news for friend"));
    EXPECT_FALSE(messages[2].content.body.contains(QStringLiteral("Substitute")));
}

TEST_F(EngineTest, OneRecipientCompletesInItsOwnTickAndTheUserIsNotified) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com"), QStringLiteral("Ann")));
    runCampaign();

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(window.positions, (QList<int>{0, 2}));
    EXPECT_EQ(window.maximum, 2);
    const auto messages = deliveredParsed();
    ASSERT_EQ(messages.size(), 2U) << "the recipient's message and the notification";
    const auto& notification = messages[1];
    ASSERT_EQ(notification.recipients.size(), 1U);
    EXPECT_EQ(notification.recipients[0].address, QStringLiteral("ann.sender@example.com"));
    EXPECT_EQ(notification.content.subject, QStringLiteral("Quillmark campaign '") + reportName + QStringLiteral("'"));
    EXPECT_EQ(notification.content.body, QStringLiteral("Campaign '") + reportName +
                                             QStringLiteral("' has finished.\r\nSee '") + reportName +
                                             QStringLiteral("' for details.\r\n\r\n"));
    EXPECT_EQ(logTexts(QStringLiteral("DoSendReceive")), QStringList{QStringLiteral("Send Receive performed")});
}

TEST_F(EngineTest, AnEmptyListCompletesAtOnceAndIsStillNotified) {
    writeCampaign(QString());
    setSetting("EmailWhenFinished", QStringLiteral("1"));
    runCampaign();

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(window.maximum, 1) << "the index plus one";
    const QStringList report = reportTexts();
    ASSERT_EQ(report.size(), 5);
    EXPECT_EQ(report[3], QStringLiteral("No recipients specified"));
    EXPECT_EQ(deliveredMessages().size(), 1) << "only the notification";
}

TEST_F(EngineTest, PausedAndCancelledStatesStopTheTickBeforeAnythingIsSent) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com")) + recipientXml(QStringLiteral("bob@example.com")));
    setSetting("RecipientIndex", QStringLiteral("1"));
    setSetting("SendState", QStringLiteral("Paused"));
    runCampaign();
    EXPECT_EQ(reportTexts(), QStringList{QStringLiteral("Pause requested by user, exiting")});
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("1"));
    EXPECT_EQ(window.closeRequests, 0);

    setSetting("SendState", QStringLiteral("Cancelled"));
    runCampaign();
    EXPECT_EQ(reportTexts().last(), QStringLiteral("Cancellation requested by user, exiting"));
    EXPECT_EQ(window.closeRequests, 1);
    EXPECT_TRUE(deliveredMessages().isEmpty());
}

TEST_F(EngineTest, ANonNumericDelayStopsSendingAfterTheIndexIsStored) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com")) + recipientXml(QStringLiteral("bob@example.com")));
    setSetting("SendMessageEveryNSeconds", QStringLiteral("soon"));
    runCampaign();
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("1"));
    EXPECT_EQ(setting("SendState"), QStringLiteral("Sending"));
    EXPECT_EQ(logTexts(core::executableName() + QStringLiteral(".Timer")),
              QStringList{QStringLiteral("Error occurred at line 19.  Reason: Type mismatch")});
    EXPECT_EQ(deliveredMessages().size(), 1);
}

TEST_F(EngineTest, BlankAndMissingAddressesAreSkippedAndTheCampaignMovesOn) {
    writeCampaign(recipientXml(QStringLiteral("   ")) +
                  QStringLiteral("<recipient><field name=\"FirstName\">X</field></recipient>\n") +
                  recipientXml(QStringLiteral("cy@example.com")));
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    runCampaign();

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(logTexts(QStringLiteral("SendToOneRecipient")).filter(QStringLiteral("Warning")),
              QStringList{QStringLiteral("Warning: Skipped blank email address at index 0")});
    EXPECT_EQ(
        logTexts(core::executableName() + QStringLiteral(".SendToOneRecipient")),
        QStringList{QStringLiteral("Error occurred at line 34.  Reason: The recipient has no address attribute")});
    const QStringList report = reportTexts();
    EXPECT_EQ(report.filter(QStringLiteral("sent to")),
              QStringList{QStringLiteral("Successfully sent to cy@example.com")});
    EXPECT_EQ(deliveredMessages().size(), 1);
}

TEST_F(EngineTest, SkippedRecipientsAreReportedOnlyAsTheSettingAsks) {
    const QByteArray strict =
        QByteArray(plainTemplate()).replace("Default: \"friend\"]\r\nMIME", "Default: \"Do not send\"]\r\nMIME");
    reportName = QStringLiteral("Spring news for [Substitute FirstName, Default Do not send]");
    writeCampaign(recipientXml(QStringLiteral("ann@example.com"), QStringLiteral("Ann")) +
                      recipientXml(QStringLiteral("bob@example.com")) +
                      recipientXml(QStringLiteral("cy@example.com"), QStringLiteral("   ")),
                  strict);
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    setSetting("IncludeAllRecipientsInReport", QStringLiteral("0"));
    runCampaign();

    const QStringList report = reportTexts().mid(3);
    EXPECT_EQ(report.mid(0, 3), (QStringList{QStringLiteral("Successfully sent to ann@example.com"),
                                             QStringLiteral("Skipped bob@example.com due to missing field"),
                                             QStringLiteral("Skipped cy@example.com due to missing field")}))
        << "a value of only spaces is as good as none";
    EXPECT_EQ(deliveredMessages().size(), 1);
}

TEST_F(EngineTest, SendReceiveRunsOnceAfterTheConfiguredNumberOfMessages) {
    QString recipients;
    for (int i = 0; i < 5; ++i) {
        recipients += recipientXml(QStringLiteral("r%1@example.com").arg(i));
    }
    writeCampaign(recipients);
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    setSetting("PerformSendReceiveWanted", QStringLiteral("1"));
    setSetting("PerformSendReceive", QStringLiteral("3"));
    runCampaign();

    const QStringList lines = logLines();
    qsizetype performed = -1;
    qsizetype thirdSent = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].endsWith(QStringLiteral("Send Receive performed"))) {
            EXPECT_EQ(performed, -1) << "performed twice";
            performed = i;
        }
        if (lines[i].endsWith(QStringLiteral("Successfully sent to r2@example.com"))) {
            thirdSent = i;
        }
    }
    EXPECT_GT(performed, 0);
    EXPECT_LT(performed, thirdSent) << "right after the third submission, before its report line";
    EXPECT_EQ(sending::sendCounter(), 0) << "the counter starts again after completion";
}

TEST_F(EngineTest, ANegativeIndexNeverStartsTheCampaignAgain) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com")) + recipientXml(QStringLiteral("bob@example.com")));
    setSetting("RecipientIndex", QStringLiteral("-1"));
    runCampaign();

    EXPECT_TRUE(deliveredMessages().isEmpty());
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("-1"));
    EXPECT_EQ(setting("SendState"), QStringLiteral("Idle"));
    EXPECT_EQ(window.progress, QStringLiteral("Idle"));
    ASSERT_EQ(reportTexts().size(), 1);
    EXPECT_TRUE(reportTexts()[0].startsWith(QStringLiteral("Not sending: the campaign has no next recipient")));
}

TEST_F(EngineTest, AnIndexPastTheEndCompletesWithoutSending) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com")) + recipientXml(QStringLiteral("bob@example.com")));
    setSetting("RecipientIndex", QStringLiteral("7"));
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    runCampaign();

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("-1"));
    EXPECT_TRUE(deliveredMessages().isEmpty());
}

TEST_F(EngineTest, StartingTheTimerTwiceLeavesOneTimer) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com")) + recipientXml(QStringLiteral("bob@example.com")));
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    sending::setTimerWindow(&window);
    sending::SetApplicationTimer(50);
    runCampaign(50);
    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(deliveredMessages().size(), 2) << "a forgotten second timer would have ticked again";
    EXPECT_EQ(reportTexts().filter(kHeader).size(), 1);
}

TEST_F(EngineTest, HtmlCampaignsArePersonalisedInBothRenditions) {
    writeCampaign(recipientXml(QStringLiteral("ann@example.com"), QStringLiteral("Zoë")), htmlTemplate());
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    runCampaign();
    const auto messages = deliveredMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(messages[0].contains("Substitute")) << messages[0].constData();
    EXPECT_TRUE(messages[0].contains("multipart/alternative"));
}

} // namespace
} // namespace quillmark::test
