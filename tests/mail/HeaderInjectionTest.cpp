#include "MailTestSupport.h"
#include "core/Error.h"

#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

// Where the hostile text goes.
enum class Field { AddressAddEx, AddressAdd, DisplayName, Subject };

struct InjectionCase {
    const char* name;
    Field field;
    const char* text;
};

void PrintTo(const InjectionCase& row, std::ostream* out) {
    *out << row.name;
}

// The header block of a finished message, one entry per header field (folded lines joined).
QStringList headerFields(const QByteArray& message) {
    const qsizetype end = message.indexOf("\r\n\r\n");
    QStringList fields;
    for (const QByteArray& line : message.left(end).split('\n')) {
        const QString text = QString::fromLatin1(line).remove(QLatin1Char('\r'));
        if (!fields.isEmpty() && (text.startsWith(QLatin1Char(' ')) || text.startsWith(QLatin1Char('\t')))) {
            fields.last() += text;
        } else {
            fields << text;
        }
    }
    return fields;
}

class HeaderInjectionTest : public testing::TestWithParam<InjectionCase> {
protected:
    void SetUp() override { session = test::loggedOnSession(test::writeTestProfile(), server, clock); }

    test::FakeMailServer server;
    test::ManualClock clock;
    std::shared_ptr<RDOSession> session;
};

TEST_P(HeaderInjectionTest, NeverYieldsAnExtraHeaderLine) {
    const auto message = session->defaultFolder(4)->items()->add(QStringLiteral("IPM.Note"));
    const QString hostile = QString::fromUtf8(GetParam().text);
    message->setSubject(QStringLiteral("Hello"));
    message->setBody(QStringLiteral("Body"));
    try {
        switch (GetParam().field) {
        case Field::AddressAddEx:
            (void)message->Recipients()->AddEx(QStringLiteral("Victim"), hostile, QStringLiteral("SMTP"), 1);
            break;
        case Field::AddressAdd:
            (void)message->Recipients()->Add(hostile);
            break;
        case Field::DisplayName:
            (void)message->Recipients()->AddEx(hostile, QStringLiteral("victim@example.test"), QStringLiteral("SMTP"),
                                               1);
            break;
        case Field::Subject:
            (void)message->Recipients()->Add(QStringLiteral("victim@example.test"));
            message->setSubject(hostile);
            break;
        }
    } catch (const core::Error& error) {
        // Refused before it reached a header or the envelope: the safe outcome for an address.
        EXPECT_TRUE(GetParam().field == Field::AddressAddEx || GetParam().field == Field::AddressAdd)
            << qPrintable(error.description());
        EXPECT_FALSE(error.description().isEmpty());
        EXPECT_THROW(message->Send(), core::Error) << "nothing to send to";
        EXPECT_TRUE(server.accepted.empty());
        return;
    }
    message->Send();
    ASSERT_EQ(server.accepted.size(), 1U);
    const auto& delivery = server.accepted.front();
    EXPECT_EQ(delivery.envelope.recipients, QStringList{QStringLiteral("victim@example.test")});
    for (const QString& recipient : delivery.envelope.recipients) {
        EXPECT_FALSE(recipient.contains(QLatin1Char('\r')) || recipient.contains(QLatin1Char('\n')));
    }
    const QStringList fields = headerFields(delivery.message);
    int toFields = 0;
    for (const QString& field : fields) {
        EXPECT_FALSE(field.startsWith(QStringLiteral("Bcc"), Qt::CaseInsensitive)) << qPrintable(field);
        EXPECT_FALSE(field.startsWith(QStringLiteral("X-Injected"), Qt::CaseInsensitive)) << qPrintable(field);
        EXPECT_TRUE(field.contains(QLatin1Char(':'))) << "every header line is a field: " << qPrintable(field);
        toFields += field.startsWith(QStringLiteral("To:"), Qt::CaseInsensitive) ? 1 : 0;
    }
    EXPECT_EQ(toFields, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, HeaderInjectionTest,
    testing::Values(InjectionCase{"AddExAddressCrLfBcc", Field::AddressAddEx, "a@x.test\r\nBcc: b@y.test"},
                    InjectionCase{"AddExAddressLf", Field::AddressAddEx, "a@x.test\nX-Injected: 1"},
                    InjectionCase{"AddExAddressCr", Field::AddressAddEx, "a@x.test\rX-Injected: 1"},
                    InjectionCase{"AddExAddressControl", Field::AddressAddEx, "a@x.test\x01Z"},
                    InjectionCase{"AddExAddressTab", Field::AddressAddEx, "a@x.test\tX-Injected: 1"},
                    InjectionCase{"AddExAddressTwoAddresses", Field::AddressAddEx, "a@x.test, b@y.test"},
                    InjectionCase{"AddExAddressSmtpCommand", Field::AddressAddEx, "a@x.test>\r\nRCPT TO:<b@y.test"},
                    InjectionCase{"AddAddressCrLf", Field::AddressAdd, "Ann <a@x.test>\r\nBcc: b@y.test"},
                    InjectionCase{"AddAddressList", Field::AddressAdd, "a@x.test; b@y.test"},
                    InjectionCase{"AddTwoMailboxes", Field::AddressAdd, "a@x.test, Bob <b@y.test>"},
                    InjectionCase{"DisplayNameCrLf", Field::DisplayName, "Victim\r\nBcc: b@y.test"},
                    InjectionCase{"DisplayNameLf", Field::DisplayName, "Victim\nX-Injected: 1"},
                    InjectionCase{"DisplayNameQuotes", Field::DisplayName, "\"Victim\" <b@y.test>,\r\n X-Injected: 1"},
                    InjectionCase{"SubjectCrLf", Field::Subject, "Hi\r\nBcc: b@y.test"},
                    InjectionCase{"SubjectLfOnly", Field::Subject, "Hi\nX-Injected: 1"},
                    InjectionCase{"SubjectCrLfCrLfBody", Field::Subject, "Hi\r\n\r\nX-Injected: 1"},
                    InjectionCase{"SubjectNonAsciiCrLf", Field::Subject, "Grüße\r\nBcc: b@y.test"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace quillmark::mail
