#include "MailTestSupport.h"
#include "core/Error.h"
#include "mail/MAPIUtils.h"
#include "mail/MailStore.h"
#include "support/SmtpServer.h"

#include <QJsonArray>
#include <QSet>
#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

using quillmark::test::SmtpServer;
using quillmark::test::SmtpServerOptions;

// A profile "Test" whose one account sends through `url`, with its store in `store`.
QString smtpProfile(const QString& url, const QString& store) {
    return test::writeProfileFile(QStringLiteral("[profiles.Test]\n"
                                                 "store = \"%1\"\n"
                                                 "[[profiles.Test.accounts]]\n"
                                                 "name = \"Campaign SMTP\"\n"
                                                 "from = \"Zoë Sender <zoe@sender.test>\"\n"
                                                 "transport = \"%2\"\n"
                                                 "timeout-seconds = 10\n")
                                      .arg(store, url));
}

std::shared_ptr<RDOSession> realSession(const QString& profileFile) {
    SessionSeams seams;
    seams.profileFile = profileFile;
    auto session = RDOSession::make(std::move(seams));
    session->logon();
    return session;
}

// What the per-recipient send does: a copy of the template, addressed, personalised.
void sendCopy(const std::shared_ptr<RDOSession>& session, const std::shared_ptr<RDOMail>& templateMail,
              const QString& name, const QString& address) {
    const auto copy = session->defaultFolder(RDOSession::kOutboxFolder)->items()->add(templateMail->MessageClass());
    templateMail->CopyTo(copy);
    copy->setHTMLBody(templateMail->HTMLBody());
    (void)copy->Recipients()->AddEx(address, address, QStringLiteral("SMTP"), 1);
    copy->setSubject(copy->Subject().replace(QStringLiteral("[Name]"), name));
    copy->setHTMLBody(copy->HTMLBody().replace(QStringLiteral("[Name]"), name));
    copy->Send();
}

std::shared_ptr<RDOMail> makeTemplate(const std::shared_ptr<RDOSession>& session) {
    const auto draft = session->defaultFolder(RDOSession::kOutboxFolder)->items()->add(QStringLiteral("IPM.Note"));
    draft->setSubject(QStringLiteral("Frühling für [Name]"));
    draft->setHTMLBody(QStringLiteral("<html><body><p>Liebe [Name],</p><p>unser Angebot.</p></body></html>"));
    draft->addAttachment({QStringLiteral("Preise.pdf"), "application/pdf", {}, QByteArray("%PDF-1.4 test", 13)});
    const QString path = test::writeFile(QStringLiteral("campaign.oft"), draft->toMime());
    auto templateMail = session->openMessageFile(path, false);
    templateMail->Recipients()->Clear();
    return templateMail;
}

TEST(MailDeliveryTest, PersonalisedCopiesArriveWithEverythingInPlace) {
    SmtpServer server;
    const auto session = realSession(smtpProfile(server.url(), test::freshFolder(QStringLiteral("store"))));
    const auto templateMail = makeTemplate(session);
    sendCopy(session, templateMail, QStringLiteral("Jörg"), QStringLiteral("jorg@example.test"));
    sendCopy(session, templateMail, QStringLiteral("Anna"), QStringLiteral("anna@example.test"));

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2U);
    const QJsonObject& first = messages[0];
    EXPECT_EQ(first.value(QStringLiteral("subject")).toString(), QStringLiteral("Frühling für Jörg"));
    EXPECT_TRUE(first.value(QStringLiteral("from")).toString().contains(QStringLiteral("zoe@sender.test")));
    EXPECT_TRUE(first.value(QStringLiteral("from")).toString().contains(QStringLiteral("Zoë Sender")));
    EXPECT_TRUE(first.value(QStringLiteral("to")).toString().contains(QStringLiteral("jorg@example.test")));
    EXPECT_TRUE(first.value(QStringLiteral("htmlBody")).toString().contains(QStringLiteral("Liebe Jörg,")));
    EXPECT_TRUE(first.value(QStringLiteral("textBody")).toString().contains(QStringLiteral("Liebe Jörg,")))
        << "the plain rendition is personalised too";
    EXPECT_FALSE(first.value(QStringLiteral("textBody")).toString().contains(QStringLiteral("[Name]")));
    const QJsonArray attachments = first.value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(attachments.size(), 1);
    EXPECT_EQ(attachments[0].toObject().value(QStringLiteral("filename")).toString(), QStringLiteral("Preise.pdf"));
    EXPECT_EQ(attachments[0].toObject().value(QStringLiteral("size")).toInt(), 13);
    EXPECT_EQ(first.value(QStringLiteral("defects")).toArray().size(), 0);
    EXPECT_EQ(messages[1].value(QStringLiteral("subject")).toString(), QStringLiteral("Frühling für Anna"));
    QSet<QString> ids;
    for (const auto& message : messages) {
        ids.insert(message.value(QStringLiteral("messageId")).toString());
    }
    EXPECT_EQ(ids.size(), 2);
    EXPECT_EQ(server.connectionCount(), 1) << "the connection is reused between messages";
    EXPECT_EQ(session->store().folder(MailStore::sentItemsName()).entries().size(), 2U);
}

TEST(MailDeliveryTest, ARefusedRecipientFailsSendWithTheServersReply) {
    SmtpServerOptions options;
    options.refusals << QStringLiteral("nobody=550 5.1.1 No such mailbox here");
    SmtpServer server(options);
    const auto session = realSession(smtpProfile(server.url(), test::freshFolder(QStringLiteral("store"))));
    const auto message = session->defaultFolder(4)->items()->add(QStringLiteral("IPM.Note"));
    message->setBody(QStringLiteral("x"));
    (void)message->Recipients()->Add(QStringLiteral("nobody@example.test"));
    try {
        message->Send();
        ADD_FAILURE() << "Send succeeded";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("No such mailbox here")))
            << qPrintable(error.description());
    }
    EXPECT_TRUE(session->queuedMessages().empty());
    EXPECT_TRUE(server.messages().empty());
}

TEST(MailDeliveryTest, ADroppedConnectionQueuesAndSendReceiveDeliversExactlyOnce) {
    SmtpServerOptions options;
    options.dropData = 1;
    SmtpServer server(options);
    const auto session = realSession(smtpProfile(server.url(), test::freshFolder(QStringLiteral("store"))));
    const auto message = session->defaultFolder(4)->items()->add(QStringLiteral("IPM.Note"));
    message->setSubject(QStringLiteral("Dropped once"));
    message->setBody(QStringLiteral("x"));
    (void)message->Recipients()->Add(QStringLiteral("a@example.test"));
    message->Send();
    EXPECT_EQ(session->queuedMessages().size(), 1U);
    EXPECT_TRUE(server.messages().empty());

    MAPIUtils utilities;
    utilities.setSession(session);
    EXPECT_EQ(utilities.sendReceive(3, 0).delivered, 1);
    EXPECT_EQ(utilities.sendReceive(3, 0).delivered, 0);
    ASSERT_EQ(server.messages().size(), 1U);
    EXPECT_EQ(server.messages()[0].value(QStringLiteral("subject")).toString(), QStringLiteral("Dropped once"));
    EXPECT_TRUE(session->queuedMessages().empty());
}

TEST(MailDeliveryTest, WithTheServerDownMessagesQueueAndAreDeliveredOnceWhenItIsBack) {
    const QString store = test::freshFolder(QStringLiteral("store"));
    QString deadUrl;
    {
        SmtpServer gone;
        deadUrl = gone.url();
        gone.stop();
    }
    {
        const auto session = realSession(smtpProfile(deadUrl, store));
        for (const QString& address : {QStringLiteral("a@example.test"), QStringLiteral("b@example.test")}) {
            const auto message = session->defaultFolder(4)->items()->add(QStringLiteral("IPM.Note"));
            message->setSubject(address);
            message->setBody(QStringLiteral("x"));
            (void)message->Recipients()->Add(address);
            message->Send(); // succeeds: queued
        }
        EXPECT_EQ(session->queuedMessages().size(), 2U);
    }
    // The server is back (here: on a new port, so the profile is pointed at it).
    SmtpServer server;
    const auto session = realSession(smtpProfile(server.url(), store));
    MAPIUtils utilities;
    utilities.setSession(session);
    EXPECT_EQ(utilities.sendReceive(3, 0).delivered, 2);
    EXPECT_EQ(utilities.sendReceive(3, 0).delivered, 0);
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2U);
    EXPECT_EQ(messages[0].value(QStringLiteral("subject")).toString(), QStringLiteral("a@example.test"))
        << "oldest first";
    EXPECT_EQ(messages[1].value(QStringLiteral("subject")).toString(), QStringLiteral("b@example.test"));
}

} // namespace
} // namespace quillmark::mail
