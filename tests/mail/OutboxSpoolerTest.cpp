#include "MailTestSupport.h"
#include "core/Error.h"
#include "mail/MAPIUtils.h"
#include "mail/MailStore.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"
#include "support/TextFiles.h"

#include <QDir>
#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

using namespace std::chrono_literals;

class OutboxSpoolerTest : public testing::Test {
protected:
    void SetUp() override {
        logFolder = test::freshFolder(QStringLiteral("log")) + QLatin1Char('/');
        settings::setApplicationName(settings::applicationNameForProfile(QStringLiteral("Test")));
        settings::write(settings::keys::AppDataFolder, logFolder);
        settings::write(settings::keys::LogFileWanted, 1);
        profileFile = test::writeTestProfile();
        session = test::loggedOnSession(profileFile, server, clock);
    }
    void TearDown() override { settings::setApplicationName(QString()); }

    // Sends one message to `address`; its subject is the address too.
    void send(const QString& address, bool deleteAfterSubmit = false) const {
        const auto message =
            session->defaultFolder(RDOSession::kOutboxFolder)->items()->add(QStringLiteral("IPM.Note"));
        message->setSubject(address);
        message->setBody(QStringLiteral("Hello"));
        message->setDeleteAfterSubmit(deleteAfterSubmit);
        (void)message->Recipients()->Add(address);
        message->Send();
    }
    [[nodiscard]] int count(const QString& folder) const {
        return static_cast<int>(session->store().folder(folder).entries().size());
    }
    [[nodiscard]] QStringList acceptedRecipients() const {
        QStringList recipients;
        for (const auto& delivery : server.accepted) {
            recipients << delivery.envelope.recipients;
        }
        return recipients;
    }
    [[nodiscard]] QStringList logLines() const {
        return quillmark::test::readCrLfLines(logFolder + QStringLiteral("TollmereLog.txt"));
    }

    test::FakeMailServer server;
    test::ManualClock clock;
    QString logFolder;
    QString profileFile;
    std::shared_ptr<RDOSession> session;
};

TEST_F(OutboxSpoolerTest, AcceptedMessagesLeaveACopyInSentItems) {
    send(QStringLiteral("a@example.test"));
    EXPECT_EQ(acceptedRecipients(), QStringList{QStringLiteral("a@example.test")});
    EXPECT_EQ(count(MailStore::sentItemsName()), 1);
    EXPECT_EQ(count(MailStore::outboxName()), 0);
    const auto sent = session->defaultFolder(RDOSession::kSentItemsFolder)->items()->item(1);
    EXPECT_EQ(sent->Subject(), QStringLiteral("a@example.test"));
    EXPECT_EQ(server.transportsMade, 1);
    send(QStringLiteral("b@example.test"));
    EXPECT_EQ(server.transportsMade, 1) << "one transport (one connection) per account";
}

TEST_F(OutboxSpoolerTest, DeleteAfterSubmitKeepsNoCopy) {
    send(QStringLiteral("a@example.test"), true);
    EXPECT_EQ(server.accepted.size(), 1U);
    EXPECT_EQ(count(MailStore::sentItemsName()), 0);
}

TEST_F(OutboxSpoolerTest, ARefusalFailsSendWithTheRepliesTextAndKeepsNothing) {
    server.willAnswer(DeliveryOutcome::Refused, QStringLiteral("550 5.1.1 <a@example.test>: mailbox unknown"));
    try {
        send(QStringLiteral("a@example.test"));
        ADD_FAILURE() << "Send succeeded";
    } catch (const core::Error& error) {
        EXPECT_EQ(error.description(), QStringLiteral("550 5.1.1 <a@example.test>: mailbox unknown"));
    }
    EXPECT_EQ(count(MailStore::outboxName()), 0);
    EXPECT_EQ(count(MailStore::sentItemsName()), 0);
}

TEST_F(OutboxSpoolerTest, TryLaterQueuesLogsAndLetsSendSucceed) {
    server.willAnswer(DeliveryOutcome::TryLater, QStringLiteral("451 4.3.0 try again later"));
    send(QStringLiteral("a@example.test"));
    EXPECT_EQ(count(MailStore::outboxName()), 1);
    EXPECT_EQ(count(MailStore::sentItemsName()), 0);
    const auto queued = session->queuedMessages();
    ASSERT_EQ(queued.size(), 1U);
    EXPECT_EQ(queued[0].spool.account, QStringLiteral("Main"));
    EXPECT_EQ(queued[0].spool.envelope.recipients, QStringList{QStringLiteral("a@example.test")});
    EXPECT_EQ(queued[0].spool.reason, QStringLiteral("451 4.3.0 try again later"));
    const QStringList lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().contains(QStringLiteral("Outbox"))) << qPrintable(lines.last());
    EXPECT_TRUE(lines.last().contains(QStringLiteral("Queued the message to a@example.test")))
        << qPrintable(lines.last());
    EXPECT_TRUE(lines.last().contains(QStringLiteral("451 4.3.0 try again later"))) << qPrintable(lines.last());
    EXPECT_EQ(session->defaultFolder(RDOSession::kOutboxFolder)->items()->item(1)->Subject(),
              QStringLiteral("a@example.test"));
}

TEST_F(OutboxSpoolerTest, WhileTheAccountRestsNewMessagesQueueWithoutAnAttempt) {
    server.willAnswer(DeliveryOutcome::TryLater, QStringLiteral("connection refused"));
    send(QStringLiteral("a@example.test"));
    send(QStringLiteral("b@example.test"));
    send(QStringLiteral("c@example.test"));
    EXPECT_EQ(server.attempts, 1) << "a dead server costs one attempt, not one per recipient";
    EXPECT_EQ(count(MailStore::outboxName()), 3);
}

TEST_F(OutboxSpoolerTest, ALaterSendAfterTheRestDeliversTheQueueOldestFirstExactlyOnce) {
    server.willAnswer(DeliveryOutcome::TryLater, QStringLiteral("connection refused"));
    send(QStringLiteral("a@example.test"));
    send(QStringLiteral("b@example.test"));
    clock.now += OutboxSpooler::kFirstRest + 1s;
    send(QStringLiteral("c@example.test"));
    EXPECT_EQ(acceptedRecipients(), (QStringList{QStringLiteral("a@example.test"), QStringLiteral("b@example.test"),
                                                 QStringLiteral("c@example.test")}));
    EXPECT_EQ(count(MailStore::outboxName()), 0);
    EXPECT_EQ(count(MailStore::sentItemsName()), 3);
    MAPIUtils utilities;
    EXPECT_EQ(utilities.sendReceive(3, 0).delivered, 0);
    EXPECT_EQ(server.accepted.size(), 3U) << "nothing is delivered twice";
}

TEST_F(OutboxSpoolerTest, TheRestGrowsWhileTheServerStaysDown) {
    server.willAnswer(DeliveryOutcome::TryLater, QStringLiteral("down"), 3);
    send(QStringLiteral("a@example.test")); // attempt 1, rest 30 s
    clock.now += OutboxSpooler::kFirstRest + 1s;
    send(QStringLiteral("b@example.test")); // attempt 2 (the queue), rest 60 s
    clock.now += OutboxSpooler::kFirstRest + 1s;
    send(QStringLiteral("c@example.test")); // still resting: no attempt
    EXPECT_EQ(server.attempts, 2);
    clock.now += OutboxSpooler::kFirstRest;
    send(QStringLiteral("d@example.test")); // attempt 3 fails, rest 120 s
    EXPECT_EQ(server.attempts, 3);
    EXPECT_EQ(count(MailStore::outboxName()), 4);
}

TEST_F(OutboxSpoolerTest, SendReceiveDeliversTheQueueAtOnceWhateverTheRest) {
    server.willAnswer(DeliveryOutcome::TryLater, QStringLiteral("down"));
    send(QStringLiteral("a@example.test"), true);
    send(QStringLiteral("b@example.test"));
    auto utilities = std::make_shared<MAPIUtils>();
    const FlushReport report = utilities->sendReceive(3, 0);
    EXPECT_EQ(report.delivered, 2);
    EXPECT_EQ(acceptedRecipients(), (QStringList{QStringLiteral("a@example.test"), QStringLiteral("b@example.test")}));
    EXPECT_EQ(count(MailStore::outboxName()), 0);
    EXPECT_EQ(count(MailStore::sentItemsName()), 1) << "the message sent with DeleteAfterSubmit keeps no copy";
}

TEST_F(OutboxSpoolerTest, AQueuedMessageRefusedForGoodIsMovedAsideAndDoesNotBlockTheQueue) {
    server.willAnswer(DeliveryOutcome::TryLater, QStringLiteral("down"));
    send(QStringLiteral("bad@example.test"));
    send(QStringLiteral("good@example.test"));
    server.willAnswer(DeliveryOutcome::Refused, QStringLiteral("550 no such user"));
    const FlushReport report = session->deliverQueued();
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(report.delivered, 1);
    EXPECT_EQ(acceptedRecipients(), QStringList{QStringLiteral("good@example.test")});
    EXPECT_EQ(count(MailStore::outboxName()), 0);
    EXPECT_EQ(count(MailStore::failedName()), 1);
    bool logged = false;
    for (const QString& line : logLines()) {
        logged = logged || (line.contains(QStringLiteral("bad@example.test")) &&
                            line.contains(QStringLiteral("550 no such user")));
    }
    EXPECT_TRUE(logged);
}

TEST_F(OutboxSpoolerTest, TheQueueSurvivesTheSessionAndANewOneDeliversIt) {
    server.willAnswer(DeliveryOutcome::TryLater, QStringLiteral("down"));
    send(QStringLiteral("a@example.test"));
    session.reset();
    test::FakeMailServer second;
    test::ManualClock clock2;
    auto next = test::loggedOnSession(profileFile, second, clock2);
    EXPECT_EQ(next->queuedMessages().size(), 1U);
    MAPIUtils utilities;
    utilities.setSession(next);
    EXPECT_EQ(utilities.sendReceive(3, 0).delivered, 1);
    ASSERT_EQ(second.accepted.size(), 1U);
    EXPECT_EQ(second.accepted[0].envelope.recipients, QStringList{QStringLiteral("a@example.test")});
    EXPECT_FALSE(second.accepted[0].message.contains("X-Quillmark-Spool")) << "the envelope does not travel";
}

TEST_F(OutboxSpoolerTest, AnUnreadableOutboxEntryIsMovedAside) {
    (void)MaildirFolder(session->store().folderPath(MailStore::outboxName())).add("not a queued message");
    const FlushReport report = session->deliverQueued();
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(count(MailStore::failedName()), 1);
    EXPECT_EQ(count(MailStore::outboxName()), 0);
}

} // namespace
} // namespace quillmark::mail
