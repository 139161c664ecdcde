#include "MailTestSupport.h"
#include "core/Error.h"
#include "mail/RDOSession.h"

#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <gmime/gmime.h>
#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

using test::FakeMailServer;
using test::ManualClock;

// The finished message as GMime reads it back.
class Parsed {
public:
    explicit Parsed(const QByteArray& bytes) {
        g_mime_init();
        GMimeStream* stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size()));
        GMimeParser* parser = g_mime_parser_new_with_stream(stream);
        m_message = g_mime_parser_construct_message(parser, nullptr);
        g_object_unref(parser);
        g_object_unref(stream);
    }
    ~Parsed() {
        if (m_message != nullptr) {
            g_object_unref(m_message);
        }
    }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;

    [[nodiscard]] GMimeMessage* message() const { return m_message; }
    [[nodiscard]] GMimeObject* root() const { return g_mime_message_get_mime_part(m_message); }
    [[nodiscard]] static QByteArray typeOf(GMimeObject* object) {
        char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
        QByteArray result(type);
        g_free(type);
        return result;
    }
    [[nodiscard]] static GMimeObject* child(GMimeObject* multipart, int index) {
        return g_mime_multipart_get_part(GMIME_MULTIPART(multipart), index);
    }
    [[nodiscard]] static QString text(GMimeObject* part) {
        char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
        QString result = QString::fromUtf8(text);
        g_free(text);
        return result;
    }
    [[nodiscard]] static QByteArray header(GMimeObject* object, const char* name) {
        return QByteArray(g_mime_object_get_header(object, name));
    }

private:
    GMimeMessage* m_message = nullptr;
};

class MailMessageTest : public testing::Test {
protected:
    void SetUp() override { session = test::loggedOnSession(test::writeTestProfile(), server, clock); }

    [[nodiscard]] std::shared_ptr<RDOMail> newMessage(const QString& messageClass = QStringLiteral("IPM.Note")) const {
        return session->defaultFolder(RDOSession::kOutboxFolder)->items()->add(messageClass);
    }
    [[nodiscard]] QByteArray sentBytes() const {
        EXPECT_FALSE(server.accepted.empty());
        return server.accepted.empty() ? QByteArray() : server.accepted.back().message;
    }

    FakeMailServer server;
    ManualClock clock;
    std::shared_ptr<RDOSession> session;
};

TEST_F(MailMessageTest, ANewItemHasItsClassTheDefaultAccountAndNothingElse) {
    const auto message = newMessage(QStringLiteral("IPM.Note.Campaign"));
    EXPECT_EQ(message->typeName(), QStringLiteral("RDOMail"));
    EXPECT_EQ(message->MessageClass(), QStringLiteral("IPM.Note.Campaign"));
    EXPECT_TRUE(message->Subject().isEmpty());
    EXPECT_EQ(message->BodyFormat(), 1);
    ASSERT_TRUE(message->Account());
    EXPECT_EQ(message->Account()->Name(), QStringLiteral("Main"));
    EXPECT_EQ(message->Recipients()->count(), 0);
    EXPECT_EQ(message->folderName(), QStringLiteral("Outbox"));
}

TEST_F(MailMessageTest, WritingHtmlRefreshesThePlainRendition) {
    const auto message = newMessage();
    message->setHTMLBody(QStringLiteral("<html><head><style>p{}</style></head><body><p>Dear Zoë &amp; "
                                        "co,</p><p>line<br>two</p></body></html>"));
    EXPECT_EQ(message->BodyFormat(), 2);
    EXPECT_EQ(message->Body(), QStringLiteral("Dear Zoë & co,\r\n\r\nline\r\ntwo"));
    message->setRTFBody(QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Hello \\'e9l\\u233?ve\\par next}"));
    EXPECT_EQ(message->BodyFormat(), 3);
    EXPECT_EQ(message->Body(), QStringLiteral("Hello éléve\r\nnext"));
    EXPECT_THROW(message->setBodyFormat(7), core::Error);
}

TEST_F(MailMessageTest, CopyToCarriesEveryPropertyAttachmentsIncluded) {
    const auto original = newMessage(QStringLiteral("IPM.Appointment"));
    original->setSubject(QStringLiteral("Spring sale"));
    original->setHTMLBody(QStringLiteral("<p>Hi <img src=\"cid:logo@x\"></p>"));
    original->setSendAsICal(true);
    original->setDeleteAfterSubmit(true);
    original->setAccount(session->accounts()->orderedList(2)->item(2));
    original->addAttachment(
        {QStringLiteral("price list.pdf"), "application/pdf", {}, QByteArray("%PDF-1.4\0\xff", 10)});
    original->addInlinePart(
        {QStringLiteral("logo.png"), "image/png", QStringLiteral("logo@x"), QByteArray("\x89PNG", 4)});
    (void)original->Recipients()->Add(QStringLiteral("Bob <bob@example.test>"));

    const auto copy = newMessage();
    original->CopyTo(copy);
    EXPECT_EQ(copy->MessageClass(), QStringLiteral("IPM.Appointment"));
    EXPECT_EQ(copy->Subject(), original->Subject());
    EXPECT_EQ(copy->HTMLBody(), original->HTMLBody());
    EXPECT_EQ(copy->Body(), original->Body());
    EXPECT_EQ(copy->BodyFormat(), 2);
    EXPECT_TRUE(copy->SendAsICal());
    EXPECT_TRUE(copy->DeleteAfterSubmit());
    EXPECT_EQ(copy->Account(), original->Account());
    ASSERT_EQ(copy->attachments().size(), 1U);
    EXPECT_EQ(copy->attachments()[0].data, original->attachments()[0].data);
    ASSERT_EQ(copy->inlineParts().size(), 1U);
    EXPECT_EQ(copy->Recipients()->count(), 1);

    copy->Recipients()->Clear();
    EXPECT_EQ(original->Recipients()->count(), 1) << "the copy's recipients are its own";
    copy->setSubject(QStringLiteral("changed"));
    EXPECT_EQ(original->Subject(), QStringLiteral("Spring sale"));
}

TEST_F(MailMessageTest, APlainMessageGoesOutInUtf8QuotedPrintableWithEncodedHeaders) {
    const auto message = newMessage();
    message->setSubject(QStringLiteral("Grüße from Zoë – 夏"));
    message->setBody(QStringLiteral("Dée,\r\nthis is the body.\r\n"));
    (void)message->Recipients()->AddEx(QStringLiteral("Jörg Dée"), QStringLiteral("jorg@example.test"),
                                       QStringLiteral("SMTP"), 1);
    message->Send();
    const QByteArray bytes = sentBytes();
    for (const QByteArray& line : bytes.split('\n')) {
        for (const char c : line) {
            ASSERT_TRUE(static_cast<unsigned char>(c) < 0x80) << "7-bit only: " << line.constData();
        }
    }
    EXPECT_TRUE(bytes.toLower().contains("subject: =?utf-8?")) << bytes.constData();
    EXPECT_TRUE(bytes.toLower().contains("to: =?utf-8?")) << bytes.constData();
    const Parsed parsed(bytes);
    ASSERT_NE(parsed.message(), nullptr);
    EXPECT_EQ(QString::fromUtf8(g_mime_message_get_subject(parsed.message())), message->Subject());
    EXPECT_EQ(Parsed::typeOf(parsed.root()), "text/plain");
    EXPECT_EQ(QByteArray(g_mime_object_get_content_type_parameter(parsed.root(), "charset")).toLower(), "utf-8");
    EXPECT_EQ(g_mime_part_get_content_encoding(GMIME_PART(parsed.root())), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    EXPECT_EQ(Parsed::text(parsed.root()), QStringLiteral("Dée,\r\nthis is the body.\r\n"));
    InternetAddressList* to = g_mime_message_get_to(parsed.message());
    ASSERT_EQ(internet_address_list_length(to), 1);
    EXPECT_EQ(QString::fromUtf8(internet_address_get_name(internet_address_list_get_address(to, 0))),
              QStringLiteral("Jörg Dée"));
    InternetAddressList* from = g_mime_message_get_from(parsed.message());
    ASSERT_EQ(internet_address_list_length(from), 1);
    EXPECT_EQ(QString::fromUtf8(internet_address_mailbox_get_addr(
                  INTERNET_ADDRESS_MAILBOX(internet_address_list_get_address(from, 0)))),
              QStringLiteral("tess@example.test"));
    GDateTime* date = g_mime_message_get_date(parsed.message());
    ASSERT_NE(date, nullptr);
    const QDateTime now = QDateTime::currentDateTime(); // the Date is local time with its offset
    EXPECT_EQ(g_date_time_get_utc_offset(date) / G_TIME_SPAN_SECOND, now.offsetFromUtc());
    EXPECT_LE(std::abs(g_date_time_to_unix(date) - now.toSecsSinceEpoch()), 60);
    EXPECT_EQ(Parsed::header(GMIME_OBJECT(parsed.message()), "X-Quillmark-Message-Class"), "IPM.Note");
    EXPECT_EQ(server.accepted.back().envelope.sender, QStringLiteral("tess@example.test"));
    EXPECT_EQ(server.accepted.back().envelope.recipients, QStringList{QStringLiteral("jorg@example.test")});
}

TEST_F(MailMessageTest, AnHtmlMessageWithImagesAndAttachmentsHasTheFullStructure) {
    const auto message = newMessage();
    message->setSubject(QStringLiteral("Offer"));
    message->setHTMLBody(QStringLiteral("<p>Für Sie <img src=\"cid:logo@quillmark\"></p>"));
    message->addInlinePart({QStringLiteral("logo.png"), "image/png", QStringLiteral("logo@quillmark"),
                            QByteArray("\x89PNG\r\n\x1a\n", 8)});
    message->addAttachment({QStringLiteral("Prëis.pdf"), "application/pdf", {}, QByteArray("%PDF\0\x01", 6)});
    (void)message->Recipients()->Add(QStringLiteral("a@example.test"));
    message->Send();

    const Parsed parsed(sentBytes());
    GMimeObject* mixed = parsed.root();
    ASSERT_EQ(Parsed::typeOf(mixed), "multipart/mixed");
    GMimeObject* alternative = Parsed::child(mixed, 0);
    ASSERT_EQ(Parsed::typeOf(alternative), "multipart/alternative");
    GMimeObject* plain = Parsed::child(alternative, 0);
    EXPECT_EQ(Parsed::typeOf(plain), "text/plain");
    EXPECT_EQ(Parsed::text(plain), QStringLiteral("Für Sie"));
    GMimeObject* related = Parsed::child(alternative, 1);
    ASSERT_EQ(Parsed::typeOf(related), "multipart/related");
    GMimeObject* html = Parsed::child(related, 0);
    EXPECT_EQ(Parsed::typeOf(html), "text/html");
    EXPECT_EQ(QByteArray(g_mime_object_get_content_type_parameter(html, "charset")).toLower(), "utf-8");
    EXPECT_EQ(Parsed::text(html), message->HTMLBody());
    GMimeObject* image = Parsed::child(related, 1);
    EXPECT_EQ(Parsed::typeOf(image), "image/png");
    EXPECT_EQ(QByteArray(g_mime_part_get_content_id(GMIME_PART(image))), "logo@quillmark");
    EXPECT_EQ(g_mime_part_get_content_encoding(GMIME_PART(image)), GMIME_CONTENT_ENCODING_BASE64);
    GMimeObject* attachment = Parsed::child(mixed, 1);
    EXPECT_EQ(Parsed::typeOf(attachment), "application/pdf");
    EXPECT_EQ(QString::fromUtf8(g_mime_part_get_filename(GMIME_PART(attachment))), QStringLiteral("Prëis.pdf"));
    EXPECT_TRUE(g_mime_part_is_attachment(GMIME_PART(attachment)));
}

TEST_F(MailMessageTest, AnRtfMessageTravelsAsRtfBesideItsPlainRendition) {
    const auto message = newMessage();
    message->setRTFBody(QStringLiteral("{\\rtf1\\ansi Hello \\b world\\b0\\par}"));
    (void)message->Recipients()->Add(QStringLiteral("a@example.test"));
    message->Send();
    const Parsed parsed(sentBytes());
    ASSERT_EQ(Parsed::typeOf(parsed.root()), "multipart/alternative");
    EXPECT_EQ(Parsed::text(Parsed::child(parsed.root(), 0)), QStringLiteral("Hello world"));
    EXPECT_EQ(Parsed::typeOf(Parsed::child(parsed.root(), 1)), "text/rtf");
}

TEST_F(MailMessageTest, EveryMessageGetsItsOwnMessageId) {
    for (int i = 0; i < 3; ++i) {
        const auto message = newMessage();
        (void)message->Recipients()->Add(QStringLiteral("a@example.test"));
        message->Send();
    }
    QSet<QString> ids;
    for (const auto& delivery : server.accepted) {
        const Parsed parsed(delivery.message);
        ids.insert(QString::fromUtf8(g_mime_message_get_message_id(parsed.message())));
    }
    EXPECT_EQ(ids.size(), 3);
    EXPECT_FALSE(ids.contains(QString()));
}

TEST_F(MailMessageTest, ATemplateFileReadsBackWhateverItsExtension) {
    const auto original = newMessage(QStringLiteral("IPM.Note.Special"));
    original->setSubject(QStringLiteral("Récap: Q1/Q2"));
    original->setHTMLBody(QStringLiteral("<p>Hello [FirstName]</p>"));
    original->addAttachment({QStringLiteral("a.txt"), "text/plain", {}, QByteArray("attached text")});
    (void)original->Recipients()->Add(QStringLiteral("old@example.test"));
    const QString path = test::writeFile(QStringLiteral("campaign.oft"), original->toMime());

    const auto opened = session->openMessageFile(path, false);
    EXPECT_EQ(opened->MessageClass(), QStringLiteral("IPM.Note.Special"));
    EXPECT_EQ(opened->Subject(), QStringLiteral("Récap: Q1/Q2"));
    EXPECT_EQ(opened->BodyFormat(), 2);
    EXPECT_EQ(opened->HTMLBody(), QStringLiteral("<p>Hello [FirstName]</p>"));
    ASSERT_EQ(opened->attachments().size(), 1U);
    EXPECT_EQ(opened->attachments()[0].data, QByteArray("attached text"));
    EXPECT_EQ(opened->Recipients()->count(), 1);
    ASSERT_TRUE(opened->Account()) << "the From address is the Main account's";
    EXPECT_EQ(opened->Account()->Name(), QStringLiteral("Main"));
    opened->Recipients()->Clear();
    EXPECT_EQ(opened->Recipients()->count(), 0);
}

TEST_F(MailMessageTest, AForeignTemplateKeepsItsCharsetTextAndExtraHeadersThroughACopy) {
    const QByteArray eml = "From: Someone <someone@elsewhere.test>\r\n"
                           "To: old@example.test\r\n"
                           "Subject: =?iso-8859-1?q?Caf=E9?=\r\n"
                           "Reply-To: replies@example.test\r\n"
                           "X-Priority: 1\r\n"
                           "X-Quillmark-Spool-Account: Main\r\n"
                           "MIME-Version: 1.0\r\n"
                           "Content-Type: text/plain; charset=iso-8859-1\r\n"
                           "Content-Transfer-Encoding: 8bit\r\n"
                           "\r\n"
                           "Caf\xe9 au lait\r\n";
    const auto opened = session->openMessageFile(test::writeFile(QStringLiteral("foreign.msg"), eml), false);
    EXPECT_EQ(opened->Subject(), QStringLiteral("Café"));
    EXPECT_EQ(opened->Body(), QStringLiteral("Café au lait\r\n"));
    EXPECT_EQ(opened->BodyFormat(), 1);
    EXPECT_EQ(opened->MessageClass(), QStringLiteral("IPM.Note"));
    EXPECT_FALSE(opened->Account()) << "the From address is no account of the profile";
    const auto copy = newMessage();
    opened->CopyTo(copy);
    copy->Recipients()->Clear();
    (void)copy->Recipients()->Add(QStringLiteral("new@example.test"));
    copy->Send();
    const QByteArray sent = sentBytes();
    EXPECT_TRUE(sent.contains("Reply-To: replies@example.test")) << sent.constData();
    EXPECT_TRUE(sent.contains("X-Priority: 1")) << sent.constData();
    EXPECT_FALSE(sent.contains("X-Quillmark-Spool")) << sent.constData();
    EXPECT_FALSE(sent.contains("old@example.test"));
    EXPECT_TRUE(sent.contains("From: Tess Tester <tess@example.test>")) << "sent through the default account";
}

struct BadFileCase {
    const char* name;
    QByteArray bytes;
    const char* expected;
};

void PrintTo(const BadFileCase& row, std::ostream* out) {
    *out << row.name;
}

class BadTemplateTest : public MailMessageTest, public testing::WithParamInterface<BadFileCase> {};

TEST_P(BadTemplateTest, FailsClearlyAndCreatesNothing) {
    const QString path = test::writeFile(QStringLiteral("template.oft"), GetParam().bytes);
    try {
        (void)session->openMessageFile(path, false);
        ADD_FAILURE() << "opened";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(QString::fromUtf8(GetParam().expected)))
            << qPrintable(error.description());
    }
}

INSTANTIATE_TEST_SUITE_P(
    MailMessageTest, BadTemplateTest,
    testing::Values(BadFileCase{"Empty", QByteArray(), "not an RFC 5322 message"},
                    BadFileCase{"Binary", QByteArray("\x00\x01\x02garbage", 10), "not an RFC 5322"},
                    BadFileCase{"Prose", QByteArray("Just some words.\nNo header.\n"), "does not begin with a header"},
                    BadFileCase{"CompoundFile", QByteArray::fromHex("d0cf11e0a1b11ae100000000"),
                                "Outlook Compound File"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(MailMessageTest, AMissingTemplateFailsAndIsNotCreated) {
    const QString path = test::freshFolder(QStringLiteral("none")) + QStringLiteral("/missing.oft");
    EXPECT_THROW((void)session->openMessageFile(path, false), core::Error);
    EXPECT_THROW((void)session->openMessageFile(path, true), core::Error);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(MailMessageTest, RealOutlookFilesFailCleanly) {
    const QDir samples(QStringLiteral("/work/shared/samples/outlook"));
    const auto files = samples.entryList({QStringLiteral("*.msg"), QStringLiteral("*.oft")}, QDir::Files);
    if (files.isEmpty()) {
        GTEST_SKIP() << "no Outlook samples on this machine";
    }
    for (const QString& file : files) {
        try {
            (void)session->openMessageFile(samples.filePath(file), false);
            ADD_FAILURE() << "opened " << qPrintable(file);
        } catch (const core::Error& error) {
            EXPECT_TRUE(error.description().contains(QStringLiteral("not an RFC 5322 message"))) << qPrintable(file);
        }
    }
}

TEST_F(MailMessageTest, FoldersAccountsAndTheCurrentUser) {
    EXPECT_EQ(session->profileName(), QStringLiteral("Test"));
    EXPECT_EQ(session->defaultFolder(4)->name(), QStringLiteral("Outbox"));
    EXPECT_EQ(session->defaultFolder(5)->name(), QStringLiteral("Sent Items"));
    EXPECT_THROW((void)session->defaultFolder(6), core::Error);
    const auto list = session->accounts()->orderedList(2);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->Name(), QStringLiteral("Main"));
    EXPECT_EQ(list->item(1), session->accounts()->item(1)) << "one object per account";
    EXPECT_THROW((void)list->item(3), core::Error);
    EXPECT_THROW((void)session->accounts()->orderedList(1), core::Error);
    EXPECT_EQ(session->currentUser()->address(), QStringLiteral("tess@example.test"));
    EXPECT_EQ(session->currentUser()->name(), QStringLiteral("Tess Tester"));
    EXPECT_THROW(session->logon(), core::Error) << "no second logon";
}

TEST_F(MailMessageTest, RecipientsAreCheckedAsTheyAreAdded) {
    const auto recipients = newMessage()->Recipients();
    EXPECT_THROW((void)recipients->AddEx(QStringLiteral("x"), QStringLiteral("x@y"), QStringLiteral("EX"), 1),
                 core::Error);
    EXPECT_THROW((void)recipients->AddEx(QStringLiteral("x"), QStringLiteral("x@y"), QStringLiteral("SMTP"), 4),
                 core::Error);
    EXPECT_THROW((void)recipients->Add(QStringLiteral("not an address")), core::Error);
    EXPECT_THROW((void)recipients->Add(QStringLiteral("a@x.test, b@y.test")), core::Error);
    const auto added = recipients->Add(QStringLiteral("  Ann <ann@example.test> "));
    EXPECT_EQ(added->address(), QStringLiteral("ann@example.test"));
    EXPECT_EQ(added->name(), QStringLiteral("Ann"));
    EXPECT_EQ(added->type(), 1);
    EXPECT_TRUE(recipients->ResolveAll());
    EXPECT_EQ(recipients->count(), 1);
}

TEST_F(MailMessageTest, AMessageWithoutRecipientsOrSentTwiceFails) {
    const auto message = newMessage();
    EXPECT_THROW(message->Send(), core::Error);
    (void)message->Recipients()->Add(QStringLiteral("a@example.test"));
    message->Send();
    EXPECT_THROW(message->Send(), core::Error);
    EXPECT_EQ(server.accepted.size(), 1U);
}

} // namespace
} // namespace quillmark::mail
