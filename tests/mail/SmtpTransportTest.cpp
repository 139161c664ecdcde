// The smtp:// and smtps:// transports against a real SMTP server on 127.0.0.1.
#include "core/Error.h"
#include "mail/Transport.h"
#include "support/SmtpServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string_view>

namespace quillmark::mail {
namespace {

using test::SmtpServer;
using test::SmtpServerOptions;
using namespace std::literals;

constexpr auto sender = "ann@example.com";

AccountConfig accountFor(const QString& url, int timeoutSeconds = 10) {
    AccountConfig account;
    account.name = QStringLiteral("Test SMTP");
    account.from = QStringLiteral("Ann Example <ann@example.com>");
    account.transport = url;
    account.timeoutSeconds = timeoutSeconds;
    return account;
}

Envelope envelopeTo(const QString& recipient) {
    return Envelope{QString::fromLatin1(sender), QStringList{recipient}};
}

QByteArray messageTo(const QString& recipient, const QString& subject, const QByteArray& body = "Hello.\r\n") {
    return "From: Ann Example <ann@example.com>\r\nTo: " + recipient.toUtf8() + "\r\nSubject: " + subject.toUtf8() +
           "\r\nMessage-ID: <" + subject.toUtf8() + "@example.com>\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
           body;
}

DeliveryResult send(Transport& transport, const QString& recipient, const QString& subject) {
    return transport.deliver(envelopeTo(recipient), messageTo(recipient, subject));
}

QString describe(const DeliveryResult& result) {
    const char* names[] = {"Accepted", "Refused", "TryLater"};
    return QString::fromLatin1(names[static_cast<int>(result.outcome)]) + QStringLiteral(": ") + result.description;
}

#define EXPECT_OUTCOME(result, expected)                                                                               \
    EXPECT_EQ((result).outcome, DeliveryOutcome::expected) << qPrintable(describe(result))

// ---------------------------------------------------------------------------------------------
// Plain delivery and connection reuse.

class SmtpDeliveryTest : public testing::Test {
protected:
    SmtpServer m_server;
    std::unique_ptr<Transport> m_transport = makeTransport(accountFor(m_server.url()));
};

TEST_F(SmtpDeliveryTest, SeveralMessagesTravelOverOneConnection) {
    for (int i = 1; i <= 4; ++i) {
        const DeliveryResult result =
            send(*m_transport, QStringLiteral("bob%1@example.org").arg(i), QStringLiteral("Message %1").arg(i));
        EXPECT_OUTCOME(result, Accepted);
        EXPECT_TRUE(result.description.isEmpty());
    }
    const auto messages = m_server.messages();
    ASSERT_EQ(messages.size(), 4U);
    for (int i = 1; i <= 4; ++i) {
        const QJsonObject& message = messages[static_cast<size_t>(i - 1)];
        EXPECT_EQ(message[QStringLiteral("subject")].toString(), QStringLiteral("Message %1").arg(i));
        EXPECT_EQ(message[QStringLiteral("mailFrom")].toString(), QString::fromLatin1(sender));
        EXPECT_EQ(message[QStringLiteral("rcptTos")].toArray(), QJsonArray{QStringLiteral("bob%1@example.org").arg(i)});
    }
    EXPECT_EQ(m_server.connectionCount(), 1);
}

TEST_F(SmtpDeliveryTest, OneMessageGoesToAllItsRecipients) {
    const Envelope envelope{QString::fromLatin1(sender),
                            {QStringLiteral("bob@example.org"), QStringLiteral("carol@example.org")}};
    EXPECT_OUTCOME(m_transport->deliver(envelope, messageTo(QStringLiteral("bob@example.org"), QStringLiteral("Two"))),
                   Accepted);
    ASSERT_EQ(m_server.messages().size(), 1U);
    EXPECT_EQ(m_server.messages().front()[QStringLiteral("rcptTos")].toArray().size(), 2);
}

// A line holding only a dot must not end the message early, whatever its line ends.
TEST_F(SmtpDeliveryTest, LinesStartingWithADotArriveIntactWithBareLineFeeds) {
    QByteArray message = messageTo(QStringLiteral("bob@example.org"), QStringLiteral("Dots"));
    message.replace("\r\n", "\n");
    message += "first\n.\nRCPT TO:<mallory@example.org>\n..double\nlast\n";
    EXPECT_OUTCOME(m_transport->deliver(envelopeTo(QStringLiteral("bob@example.org")), message), Accepted);
    const auto messages = m_server.messages();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages.front()[QStringLiteral("textBody")].toString(),
              QStringLiteral("Hello.\nfirst\n.\nRCPT TO:<mallory@example.org>\n..double\nlast\n"));
    EXPECT_EQ(messages.front()[QStringLiteral("rcptTos")].toArray().size(), 1);
}

// The test server's summary of a message is what other tests rely on: check it on a full one.
TEST_F(SmtpDeliveryTest, TheServerSummarisesAMultipartMessage) {
    const QByteArray message = "From: =?utf-8?q?Ann_Ex=C3=A4mple?= <ann@example.com>\r\n"
                               "To: Bob <bob@example.org>\r\n"
                               "Subject: =?utf-8?q?Gr=C3=BC=C3=9Fe?=\r\n"
                               "Date: Mon, 1 Apr 2024 10:00:00 +0000\r\n"
                               "Message-ID: <summary@example.com>\r\n"
                               "MIME-Version: 1.0\r\n"
                               "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
                               "--outer\r\nContent-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n"
                               "--inner\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nPlain text\r\n"
                               "--inner\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>HTML</p>\r\n"
                               "--inner--\r\n"
                               "--outer\r\nContent-Type: application/pdf\r\n"
                               "Content-Disposition: attachment; filename=\"leaflet.pdf\"\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\nAAECAwQF\r\n"
                               "--outer--\r\n";
    EXPECT_OUTCOME(m_transport->deliver(envelopeTo(QStringLiteral("bob@example.org")), message), Accepted);
    ASSERT_EQ(m_server.messages().size(), 1U);
    const QJsonObject summary = m_server.messages().front();
    EXPECT_EQ(summary[QStringLiteral("from")].toString(), QStringLiteral("Ann Exämple <ann@example.com>"));
    EXPECT_EQ(summary[QStringLiteral("to")].toString(), QStringLiteral("Bob <bob@example.org>"));
    EXPECT_EQ(summary[QStringLiteral("subject")].toString(), QStringLiteral("Grüße"));
    EXPECT_EQ(summary[QStringLiteral("messageId")].toString(), QStringLiteral("<summary@example.com>"));
    EXPECT_EQ(summary[QStringLiteral("contentType")].toString(), QStringLiteral("multipart/mixed"));
    EXPECT_EQ(summary[QStringLiteral("textBody")].toString(), QStringLiteral("Plain text"));
    EXPECT_EQ(summary[QStringLiteral("htmlBody")].toString(), QStringLiteral("<p>HTML</p>"));
    const QJsonArray attachments = summary[QStringLiteral("attachments")].toArray();
    ASSERT_EQ(attachments.size(), 1);
    EXPECT_EQ(attachments[0][QStringLiteral("filename")].toString(), QStringLiteral("leaflet.pdf"));
    EXPECT_EQ(attachments[0][QStringLiteral("contentType")].toString(), QStringLiteral("application/pdf"));
    EXPECT_EQ(attachments[0][QStringLiteral("size")].toInt(), 6);
    ASSERT_EQ(m_server.rawMessages().size(), 1U);
    EXPECT_EQ(m_server.rawMessages().front(), message);
}

TEST_F(SmtpDeliveryTest, VerifySucceedsWithoutSendingAnything) {
    EXPECT_NO_THROW(m_transport->verify());
    EXPECT_TRUE(m_server.messages().empty());
}

// ---------------------------------------------------------------------------------------------
// The server refuses, drops the line or is gone.

TEST(SmtpFaultTest, AServerThatIsDownMeansTryLaterWithTheReason) {
    auto server = std::make_unique<SmtpServer>();
    const QString url = server->url();
    const quint16 port = server->port();
    server->stop();
    auto transport = makeTransport(accountFor(url));

    const DeliveryResult result = send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Down"));
    EXPECT_OUTCOME(result, TryLater);
    EXPECT_TRUE(result.description.contains(QStringLiteral("127.0.0.1:%1").arg(port)))
        << qPrintable(result.description);
    EXPECT_TRUE(result.description.contains(QStringLiteral("connect"), Qt::CaseInsensitive));
    try {
        transport->verify();
        ADD_FAILURE() << "verify() succeeded with the server down";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("127.0.0.1:%1").arg(port)));
    }
}

struct RefusalCase {
    const char* name;
    const char* rule;
    const char* recipient;
    DeliveryOutcome outcome;
    const char* serverWords;
};

void PrintTo(const RefusalCase& row, std::ostream* out) {
    *out << row.name;
}

class SmtpRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(SmtpRefusalTest, TheServersReplyDecidesAndIsQuoted) {
    SmtpServerOptions options;
    options.refusals = {QString::fromLatin1(GetParam().rule)};
    SmtpServer server(options);
    auto transport = makeTransport(accountFor(server.url()));

    const DeliveryResult result = send(*transport, QString::fromLatin1(GetParam().recipient), QStringLiteral("No"));
    EXPECT_EQ(result.outcome, GetParam().outcome) << qPrintable(describe(result));
    EXPECT_TRUE(result.description.contains(QString::fromLatin1(GetParam().serverWords)))
        << qPrintable(result.description);
    EXPECT_TRUE(result.description.contains(QStringLiteral("recipient"))) << qPrintable(result.description);
    EXPECT_TRUE(server.messages().empty());

    // The same transport goes on with the next message.
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Next")), Accepted);
    EXPECT_EQ(server.messages().size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SmtpRefusalTest,
    testing::Values(RefusalCase{"NoSuchUser", "nobody=550 5.1.1 No such user here", "nobody@example.org",
                                DeliveryOutcome::Refused, "550 5.1.1 No such user here"},
                    RefusalCase{"MailboxFull", "full=552 5.2.2 Mailbox full", "full@example.org",
                                DeliveryOutcome::Refused, "552 5.2.2 Mailbox full"},
                    RefusalCase{"Greylisted", "grey=451 4.7.1 Greylisted, come back later", "grey@example.org",
                                DeliveryOutcome::TryLater, "451 4.7.1 Greylisted, come back later"},
                    RefusalCase{"Busy", "busy=421 4.3.2 System not accepting network messages", "busy@example.org",
                                DeliveryOutcome::TryLater, "421 4.3.2 System not accepting network messages"}),
    [](const testing::TestParamInfo<RefusalCase>& row) { return std::string(row.param.name); });

TEST(SmtpFaultTest, ADroppedConnectionMeansTryLaterAndTheNextMessageReconnects) {
    SmtpServerOptions options;
    options.dropData = 1;
    SmtpServer server(options);
    auto transport = makeTransport(accountFor(server.url()));

    const DeliveryResult dropped = send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Dropped"));
    EXPECT_OUTCOME(dropped, TryLater);
    EXPECT_TRUE(dropped.description.contains(QStringLiteral("127.0.0.1"))) << qPrintable(dropped.description);
    EXPECT_TRUE(server.messages().empty());

    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Again")), Accepted);
    ASSERT_EQ(server.messages().size(), 1U);
    EXPECT_EQ(server.messages().front()[QStringLiteral("subject")].toString(), QStringLiteral("Again"));
    EXPECT_EQ(server.connectionCount(), 2);
}

TEST(SmtpFaultTest, ASlowButAnsweringServerIsWaitedFor) {
    SmtpServerOptions options;
    options.replyDelaySeconds = 0.5;
    SmtpServer server(options);
    auto transport = makeTransport(accountFor(server.url(), 2));
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Slow")), Accepted);
}

class SmtpStallTest : public testing::TestWithParam<const char*> {};

TEST_P(SmtpStallTest, AServerThatStopsAnsweringCostsNoMoreThanTheTimeout) {
    SmtpServerOptions options;
    options.stall = QString::fromLatin1(GetParam());
    SmtpServer server(options);
    auto transport = makeTransport(accountFor(server.url(), 2));

    QElapsedTimer clock;
    clock.start();
    const DeliveryResult result = send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Stalled"));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_OUTCOME(result, TryLater);
    EXPECT_TRUE(result.description.contains(QStringLiteral("2 seconds"))) << qPrintable(result.description);
    EXPECT_TRUE(server.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Points, SmtpStallTest, testing::Values("connect", "rcpt", "data"));

TEST(SmtpFaultTest, VerifyOfAStalledServerIsBounded) {
    SmtpServerOptions options;
    options.stall = QStringLiteral("connect");
    SmtpServer server(options);
    auto transport = makeTransport(accountFor(server.url(), 1));
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(transport->verify(), core::Error);
    EXPECT_LT(clock.elapsed(), 4000);
}

// ---------------------------------------------------------------------------------------------
// Envelope addresses never reach the server unless each is one clean address.

struct EnvelopeCase {
    const char* name;
    std::string_view sender;
    std::string_view recipient;
};

void PrintTo(const EnvelopeCase& row, std::ostream* out) {
    *out << row.name;
}

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class SmtpEnvelopeInjectionTest : public testing::TestWithParam<EnvelopeCase> {};

TEST_P(SmtpEnvelopeInjectionTest, IsRefusedBeforeAnythingIsSent) {
    SmtpServer server;
    auto transport = makeTransport(accountFor(server.url()));
    const Envelope envelope{fromView(GetParam().sender), QStringList{fromView(GetParam().recipient)}};

    const DeliveryResult result = transport->deliver(envelope, messageTo(QStringLiteral("x@example.org"), "Bad"));
    EXPECT_OUTCOME(result, Refused);
    EXPECT_FALSE(result.description.isEmpty());
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_TRUE(server.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, SmtpEnvelopeInjectionTest,
    testing::Values(EnvelopeCase{"CrLfCommand", "ann@example.com", "bob@example.org\r\nRCPT TO:<eve@example.org>"},
                    EnvelopeCase{"LineFeed", "ann@example.com", "bob@example.org\nDATA"},
                    EnvelopeCase{"CarriageReturn", "ann@example.com", "bob@example.org\rQUIT"},
                    EnvelopeCase{"Nul", "ann@example.com", "bob@exa\0mple.org"sv},
                    EnvelopeCase{"Tab", "ann@example.com", "bob@example.org\tx"},
                    EnvelopeCase{"TwoWithComma", "ann@example.com", "bob@example.org, eve@example.org"},
                    EnvelopeCase{"TwoWithSpace", "ann@example.com", "bob@example.org eve@example.org"},
                    EnvelopeCase{"AngleBrackets", "ann@example.com", "bob@example.org> NOTIFY=NEVER <x@y"},
                    EnvelopeCase{"NoDomain", "ann@example.com", "bob"}, EnvelopeCase{"Empty", "ann@example.com", ""},
                    EnvelopeCase{"SenderCrLf", "ann@example.com\r\nRCPT TO:<eve@example.org>", "bob@example.org"},
                    EnvelopeCase{"SenderTwo", "ann@example.com,eve@example.org", "bob@example.org"},
                    EnvelopeCase{"SenderEmpty", "", "bob@example.org"}),
    [](const testing::TestParamInfo<EnvelopeCase>& row) { return std::string(row.param.name); });

TEST(SmtpEnvelopeTest, AnEnvelopeWithoutRecipientsIsRefused) {
    SmtpServer server;
    auto transport = makeTransport(accountFor(server.url()));
    const DeliveryResult result = transport->deliver(Envelope{QString::fromLatin1(sender), {}}, "Subject: x\r\n\r\n");
    EXPECT_OUTCOME(result, Refused);
    EXPECT_EQ(server.connectionCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// STARTTLS, implicit TLS and authentication, with a certificate made for the test.

class SmtpTlsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new QTemporaryDir();
        s_certificate = new test::TestCertificate(test::makeSelfSignedCertificate(s_folder->path()));
    }
    static void TearDownTestSuite() {
        delete s_certificate;
        delete s_folder;
    }

    static SmtpServerOptions tlsOptions() {
        SmtpServerOptions options;
        options.certificateFile = s_certificate->certificateFile;
        options.keyFile = s_certificate->keyFile;
        options.requireStartTls = true;
        options.credentials = QStringLiteral("ann:s3cret pass");
        return options;
    }

    static AccountConfig trustingAccount(const SmtpServer& server, const QString& password) {
        AccountConfig account = accountFor(server.url());
        account.username = QStringLiteral("ann");
        account.password = password;
        account.caFile = s_certificate->certificateFile;
        return account;
    }

    static inline QTemporaryDir* s_folder = nullptr;
    static inline test::TestCertificate* s_certificate = nullptr;
};

TEST_F(SmtpTlsTest, StartTlsAndAuthenticationLetTheMessagesThrough) {
    SmtpServer server(tlsOptions());
    auto transport = makeTransport(trustingAccount(server, QStringLiteral("s3cret pass")));

    EXPECT_NO_THROW(transport->verify());
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("One")), Accepted);
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Two")), Accepted);
    EXPECT_EQ(server.messages().size(), 2U);
    EXPECT_EQ(server.connectionCount(), 2); // verify's own connection, then one for both messages
}

TEST_F(SmtpTlsTest, ThePasswordMayComeFromACommand) {
    SmtpServer server(tlsOptions());
    AccountConfig account = trustingAccount(server, QString());
    account.password.reset();
    account.passwordCommand = QStringLiteral("printf 's3cret pass\\nsecond line\\n'");
    auto transport = makeTransport(account);
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Command")), Accepted);
}

TEST_F(SmtpTlsTest, AFailingPasswordCommandKeepsTheMessageForLater) {
    SmtpServer server(tlsOptions());
    AccountConfig account = trustingAccount(server, QString());
    account.password.reset();
    account.passwordCommand = QStringLiteral("echo 'vault locked' >&2; exit 3");
    auto transport = makeTransport(account);

    const DeliveryResult result = send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Locked"));
    EXPECT_OUTCOME(result, TryLater);
    EXPECT_TRUE(result.description.contains(QStringLiteral("vault locked"))) << qPrintable(result.description);
    EXPECT_THROW(transport->verify(), core::Error);
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(SmtpTlsTest, WrongCredentialsAreRefusedClearly) {
    SmtpServer server(tlsOptions());
    auto transport = makeTransport(trustingAccount(server, QStringLiteral("wrong")));

    try {
        transport->verify();
        ADD_FAILURE() << "verify() accepted a wrong password";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("user name or password")))
            << qPrintable(error.description());
        EXPECT_TRUE(error.description().contains(QStringLiteral("535"))) << qPrintable(error.description());
    }
    const DeliveryResult result = send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Denied"));
    EXPECT_OUTCOME(result, Refused);
    EXPECT_TRUE(result.description.contains(QStringLiteral("user name or password"))) << qPrintable(result.description);
    EXPECT_FALSE(result.description.contains(QStringLiteral("wrong")));
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(SmtpTlsTest, AnUntrustedCertificateStopsTheConnection) {
    SmtpServer server(tlsOptions());
    AccountConfig account = trustingAccount(server, QStringLiteral("s3cret pass"));
    account.caFile.clear(); // the system's authorities do not know the test's certificate
    auto transport = makeTransport(account);

    const DeliveryResult result = send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Untrusted"));
    EXPECT_OUTCOME(result, TryLater);
    EXPECT_TRUE(result.description.contains(QStringLiteral("certificate"))) << qPrintable(result.description);
    EXPECT_THROW(transport->verify(), core::Error);
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(SmtpTlsTest, APasswordIsNeverSentWithoutEncryption) {
    SmtpServerOptions options;
    options.credentials = QStringLiteral("ann:s3cret pass");
    SmtpServer server(options);
    auto transport = makeTransport(trustingAccount(server, QStringLiteral("s3cret pass")));

    const DeliveryResult result = send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Clear"));
    EXPECT_OUTCOME(result, TryLater);
    EXPECT_TRUE(result.description.contains(QStringLiteral("STARTTLS"))) << qPrintable(result.description);
    EXPECT_THROW(transport->verify(), core::Error);
}

TEST_F(SmtpTlsTest, ACleartextServerIsUsedAsItIsWhenNoPasswordIsConfigured) {
    SmtpServer server;
    AccountConfig account = accountFor(server.url());
    account.caFile = s_certificate->certificateFile;
    auto transport = makeTransport(account);
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Plain")), Accepted);
}

TEST_F(SmtpTlsTest, StartTlsIsUsedWhenOfferedEvenWithoutAPassword) {
    SmtpServerOptions options = tlsOptions();
    options.credentials.clear();
    SmtpServer server(options); // refuses MAIL before STARTTLS
    AccountConfig account = accountFor(server.url());
    account.caFile = s_certificate->certificateFile;
    auto transport = makeTransport(account);
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Upgraded")), Accepted);
}

TEST_F(SmtpTlsTest, ImplicitTlsCarriesSmtps) {
    SmtpServerOptions options = tlsOptions();
    options.implicitTls = true;
    options.requireStartTls = false;
    SmtpServer server(options);
    auto transport = makeTransport(trustingAccount(server, QStringLiteral("s3cret pass")));

    EXPECT_NO_THROW(transport->verify());
    EXPECT_OUTCOME(send(*transport, QStringLiteral("bob@example.org"), QStringLiteral("Implicit")), Accepted);
    EXPECT_EQ(server.messages().size(), 1U);
}

} // namespace
} // namespace quillmark::mail
