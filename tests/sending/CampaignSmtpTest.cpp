// Whole campaigns through a real SMTP server on 127.0.0.1: what each recipient receives, what
// the report records and where the stored progress ends.
#include "EngineFixture.h"
#include "support/SmtpServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <vector>

namespace quillmark::test {
namespace {

const QString kHeader = QStringLiteral("*** Starting New Campaign ***");

// An HTML template with two personal fields, one in the subject and both in the body.
QByteArray cityTemplate() {
    return QByteArrayLiteral(
        "From: Ann Sender <ann.sender@example.com>\r\n"
        "Subject: Spring news for [Substitute: FirstName, Default: \"friend\"]\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/html; charset=utf-8\r\n"
        "\r\n"
        "<html><body><p>Dear <b>[Substitute: FirstName, Default: &quot;friend&quot;]</b>,</p>"
        "<p>spring has come to our shop in [Substitute: City, Default: &quot;your town&quot;].</p></body></html>\r\n");
}

struct Recipient {
    QString address;
    QString firstName;
    QString city;
};

QString recipientsXml(const std::vector<Recipient>& recipients) {
    QString xml;
    for (const Recipient& recipient : recipients) {
        xml += QStringLiteral("  <recipient address=\"%1\"><field name=\"FirstName\">%2</field>"
                              "<field name=\"City\">%3</field></recipient>\n")
                   .arg(recipient.address, recipient.firstName, recipient.city);
    }
    return xml;
}

class CampaignSmtpTest : public EngineFixture {
protected:
    // Points this test's profile at the server, with a short bound on every SMTP exchange, and
    // starts from the first recipient whatever an earlier run of the same test left stored.
    void useServer(const SmtpServer& server) {
        writeProfile(server.url(), 10);
        setSetting("RecipientIndex", QStringLiteral("0"));
    }

    [[nodiscard]] QStringList reportLinesAfterHeader() const { return reportTexts().mid(3); }
};

TEST_F(CampaignSmtpTest, EveryRecipientReceivesTheirOwnMessageAndTheUserIsNotified) {
    const SmtpServer server;
    useServer(server);
    const std::vector<Recipient> recipients{
        {QStringLiteral("ann@example.com"), QStringLiteral("Ann"), QStringLiteral("Leeds")},
        {QStringLiteral("zoe@example.org"), QStringLiteral("Zoë"), QStringLiteral("Zürich")},
        {QStringLiteral("bob@example.net"), QStringLiteral("Bob"), QStringLiteral("York")},
        {QStringLiteral("cy@example.com"), QStringLiteral("Cy"), QStringLiteral("Bath")},
    };
    writeCampaign(recipientsXml(recipients), cityTemplate());
    runCampaign(0, 60000);

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("-1"));

    const QStringList report = reportTexts();
    ASSERT_EQ(report.size(), 3 + 4 + 1) << qPrintable(report.join(QLatin1Char('\n')));
    EXPECT_EQ(report[0], kHeader);
    EXPECT_EQ(report[1], QStringLiteral("Name: Spring news for [Substitute: FirstName, Default: \"friend\"]"));
    EXPECT_TRUE(report[2].startsWith(QStringLiteral("Date: "))) << qPrintable(report[2]);
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        EXPECT_EQ(report[static_cast<qsizetype>(3 + i)],
                  QStringLiteral("Successfully sent to ") + recipients[i].address);
    }
    EXPECT_TRUE(report[7].startsWith(QStringLiteral("Finished at "))) << qPrintable(report[7]);

    const std::vector<QJsonObject> messages = server.messages();
    ASSERT_EQ(messages.size(), recipients.size() + 1) << "one message per recipient and the notification";
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        const QJsonObject& message = messages[i];
        const Recipient& recipient = recipients[i];
        SCOPED_TRACE(qPrintable(recipient.address));
        EXPECT_EQ(message[QStringLiteral("rcptTos")].toVariant().toStringList(), QStringList{recipient.address});
        EXPECT_EQ(message[QStringLiteral("to")].toString(), recipient.address);
        EXPECT_EQ(message[QStringLiteral("from")].toString(), QStringLiteral("Ann Sender <ann.sender@example.com>"));
        EXPECT_EQ(message[QStringLiteral("subject")].toString(),
                  QStringLiteral("Spring news for ") + recipient.firstName);
        const QString html = message[QStringLiteral("htmlBody")].toString();
        EXPECT_TRUE(html.contains(QStringLiteral("Dear <b>") + recipient.firstName + QStringLiteral("</b>,")))
            << qPrintable(html);
        EXPECT_TRUE(html.contains(QStringLiteral("our shop in ") + recipient.city + QLatin1Char('.')))
            << qPrintable(html);
        const QString text = message[QStringLiteral("textBody")].toString();
        EXPECT_TRUE(text.contains(recipient.firstName)) << qPrintable(text);
        EXPECT_TRUE(text.contains(recipient.city)) << qPrintable(text);
        EXPECT_FALSE(html.contains(QStringLiteral("Substitute")) || text.contains(QStringLiteral("Substitute")))
            << "no recipient ever sees a placeholder";
        EXPECT_TRUE(message[QStringLiteral("defects")].toArray().isEmpty());
    }

    const QJsonObject& notification = messages.back();
    EXPECT_EQ(notification[QStringLiteral("rcptTos")].toVariant().toStringList(),
              QStringList{QStringLiteral("ann.sender@example.com")});
    EXPECT_EQ(notification[QStringLiteral("subject")].toString(),
              QStringLiteral("Quillmark campaign '") + reportName + QLatin1Char('\''));
    EXPECT_TRUE(notification[QStringLiteral("textBody")].toString().startsWith(
        QStringLiteral("Campaign '") + reportName + QStringLiteral("' has finished.")));
}

TEST_F(CampaignSmtpTest, ARecipientTheServerRefusesIsReportedAndTheCampaignStillCompletes) {
    SmtpServerOptions options;
    options.refusals = QStringList{QStringLiteral("nobody=550 5.1.1 No such user here")};
    const SmtpServer server(options);
    useServer(server);
    const std::vector<Recipient> recipients{
        {QStringLiteral("ann@example.com"), QStringLiteral("Ann"), QStringLiteral("Leeds")},
        {QStringLiteral("nobody@example.org"), QStringLiteral("Nobody"), QStringLiteral("Nowhere")},
        {QStringLiteral("bob@example.net"), QStringLiteral("Bob"), QStringLiteral("York")},
    };
    writeCampaign(recipientsXml(recipients), cityTemplate());
    setSetting("EmailWhenFinished", QStringLiteral("0"));
    runCampaign(0, 60000);

    EXPECT_EQ(setting("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(setting("RecipientIndex"), QStringLiteral("-1"));
    const QStringList report = reportTexts();
    ASSERT_EQ(report.size(), 3 + 3 + 1) << qPrintable(report.join(QLatin1Char('\n')));
    EXPECT_EQ(report[0], kHeader);
    EXPECT_EQ(report.mid(3, 3), (QStringList{QStringLiteral("Successfully sent to ann@example.com"),
                                             QStringLiteral("Failed to send to nobody@example.org"),
                                             QStringLiteral("Successfully sent to bob@example.net")}));
    EXPECT_TRUE(report[6].startsWith(QStringLiteral("Finished at ")));

    const std::vector<QJsonObject> messages = server.messages();
    ASSERT_EQ(messages.size(), 2U) << "the refused message is not delivered, nor retried";
    EXPECT_EQ(messages[0][QStringLiteral("to")].toString(), QStringLiteral("ann@example.com"));
    EXPECT_EQ(messages[1][QStringLiteral("to")].toString(), QStringLiteral("bob@example.net"));
    EXPECT_EQ(messages[1][QStringLiteral("subject")].toString(), QStringLiteral("Spring news for Bob"));

    const QStringList errors = logLines().filter(QStringLiteral("No such user here"));
    EXPECT_FALSE(errors.isEmpty()) << "the server's own reply is what the log gives as the reason";
}

} // namespace
} // namespace quillmark::test
