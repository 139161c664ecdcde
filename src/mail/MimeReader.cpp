#include "mail/MimeReader.h"

#include "core/Error.h"
#include "mail/GMime_p.h"
#include "mail/MimeWriter.h"

#include <QRegularExpression>
#include <QStringList>

namespace quillmark::mail {

namespace {

QString fromUtf8(const char* text) {
    return text == nullptr ? QString() : QString::fromUtf8(text);
}

[[noreturn]] void notAMessage(const QString& origin, const QString& why) {
    throw core::Error(QStringLiteral("\"%1\" is not an RFC 5322 message (%2)").arg(origin, why));
}

// Cheap checks before GMime, which accepts almost any bytes as a message with an empty
// header: the first line must be a header field ("Name: value") or an mbox "From " line.
void checkLooksLikeMessage(const QByteArray& bytes, const QString& origin) {
    static const QByteArray compoundFileMagic = QByteArray::fromHex("d0cf11e0a1b11ae1");
    if (bytes.startsWith(compoundFileMagic)) {
        notAMessage(origin, QStringLiteral("it is an Outlook Compound File message, which cannot be read yet; "
                                           "save the template as an .eml message instead"));
    }
    if (bytes.trimmed().isEmpty()) {
        notAMessage(origin, QStringLiteral("the file is empty"));
    }
    static const QRegularExpression headerLine(QStringLiteral("^(From |[!-9;-~]+[ \\t]*:)"));
    const QByteArray firstLine = bytes.left(bytes.indexOf('\n'));
    if (!headerLine.match(QString::fromLatin1(firstLine)).hasMatch()) {
        notAMessage(origin, QStringLiteral("it does not begin with a header"));
    }
}

QByteArray decodedContent(GMimePart* part) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (wrapper == nullptr) {
        return {};
    }
    auto stream = makeGObjectPtr(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(wrapper, stream.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
}

QString textOf(GMimePart* part) {
    if (GMIME_IS_TEXT_PART(part)) {
        GCharPtr text(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
        return fromUtf8(text.get());
    }
    return QString::fromUtf8(decodedContent(part));
}

QByteArray mimeTypeOf(GMimeObject* object) {
    GCharPtr type(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object)));
    return type ? QByteArray(type.get()).toLower() : QByteArrayLiteral("application/octet-stream");
}

MessagePart filePart(GMimePart* part) {
    MessagePart file;
    file.fileName = fromUtf8(g_mime_part_get_filename(part));
    file.contentType = mimeTypeOf(GMIME_OBJECT(part));
    file.contentId = fromUtf8(g_mime_part_get_content_id(part));
    file.data = decodedContent(part);
    return file;
}

QByteArray serialised(GMimeObject* object) {
    auto stream = makeGObjectPtr(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, stream.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
}

// Walks the MIME tree: the first plain, HTML and RTF parts that are not attachments are the
// bodies; the other parts of a multipart/related are the HTML body's inline images; every
// other leaf is an attachment.
class TreeWalker {
public:
    explicit TreeWalker(MessageContent& content) : m_content(content) {}

    void visit(GMimeObject* object, bool relatedMember) {
        if (GMIME_IS_MULTIPART(object)) {
            visitMultipart(GMIME_MULTIPART(object));
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            visitAttachedMessage(GMIME_MESSAGE_PART(object));
        } else if (GMIME_IS_PART(object)) {
            visitPart(GMIME_PART(object), relatedMember);
        }
    }

    [[nodiscard]] bool hasHtml() const noexcept { return m_hasHtml; }
    [[nodiscard]] bool hasRtf() const noexcept { return m_hasRtf; }

private:
    void visitMultipart(GMimeMultipart* multipart) {
        const bool related = g_mime_content_type_is_type(g_mime_object_get_content_type(GMIME_OBJECT(multipart)),
                                                         "multipart", "related") != FALSE;
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i) {
            visit(g_mime_multipart_get_part(multipart, i), related && i > 0);
        }
    }

    void visitAttachedMessage(GMimeMessagePart* part) {
        MessagePart file;
        file.contentType = QByteArrayLiteral("message/rfc822");
        file.fileName = QStringLiteral("attached message.eml");
        if (GMimeMessage* inner = g_mime_message_part_get_message(part)) {
            file.data = serialised(GMIME_OBJECT(inner));
        }
        m_content.attachments.push_back(std::move(file));
    }

    void visitPart(GMimePart* part, bool relatedMember) {
        const bool attachment = g_mime_part_is_attachment(part) != FALSE;
        const QByteArray type = mimeTypeOf(GMIME_OBJECT(part));
        if (!attachment && !relatedMember && takeBody(part, type)) {
            return;
        }
        MessagePart file = filePart(part);
        if (relatedMember && !file.contentId.isEmpty()) {
            m_content.inlineParts.push_back(std::move(file));
        } else {
            m_content.attachments.push_back(std::move(file));
        }
    }

    bool takeBody(GMimePart* part, const QByteArray& type) {
        if (type == "text/plain" && !m_hasPlain) {
            m_hasPlain = true;
            m_content.body = textOf(part);
            return true;
        }
        if (type == "text/html" && !m_hasHtml) {
            m_hasHtml = true;
            m_content.htmlBody = textOf(part);
            return true;
        }
        if ((type == "text/rtf" || type == "application/rtf") && !m_hasRtf) {
            m_hasRtf = true;
            m_content.rtfBody = textOf(part);
            return true;
        }
        return false;
    }

    MessageContent& m_content;
    bool m_hasPlain = false;
    bool m_hasHtml = false;
    bool m_hasRtf = false;
};

void collectMailboxes(InternetAddressList* list, RecipientKind kind, std::vector<RecipientData>& into) {
    const int count = list == nullptr ? 0 : internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            collectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), kind, into);
            continue;
        }
        RecipientData recipient;
        recipient.address = fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
        recipient.name = fromUtf8(internet_address_get_name(address));
        if (recipient.name.isEmpty()) {
            recipient.name = recipient.address;
        }
        recipient.kind = kind;
        into.push_back(std::move(recipient));
    }
}

QString firstMailbox(InternetAddressList* list) {
    std::vector<RecipientData> mailboxes;
    collectMailboxes(list, RecipientKind::To, mailboxes);
    if (mailboxes.empty()) {
        return {};
    }
    const auto& first = mailboxes.front();
    return first.name == first.address ? first.address : QStringLiteral("%1 <%2>").arg(first.name, first.address);
}

// Headers that describe one transmission or the MIME structure; a copy gets its own.
bool isCarriedHeader(const QByteArray& name) {
    static const QList<QByteArray> dropped{"from",
                                           "to",
                                           "cc",
                                           "bcc",
                                           "subject",
                                           "date",
                                           "message-id",
                                           "mime-version",
                                           "received",
                                           "return-path",
                                           "delivered-to",
                                           "sender",
                                           "x-original-to",
                                           "dkim-signature",
                                           "authentication-results",
                                           "arc-seal",
                                           "arc-message-signature",
                                           "arc-authentication-results",
                                           "received-spf"};
    const QByteArray lower = name.toLower();
    return !lower.startsWith("content-") && !lower.startsWith("x-quillmark-") && !dropped.contains(lower);
}

void collectExtraHeaders(GMimeObject* object, MessageContent& content) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    const int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const QByteArray name = g_mime_header_get_name(header);
        if (isCarriedHeader(name)) {
            content.extraHeaders.push_back({name, fromUtf8(g_mime_header_get_value(header)).trimmed()});
        }
    }
}

GObjectPtr<GMimeMessage> parse(const QByteArray& bytes, const QString& origin) {
    auto stream =
        makeGObjectPtr(g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
    auto parser = makeGObjectPtr(g_mime_parser_new_with_stream(stream.get()));
    auto message = makeGObjectPtr(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message || g_mime_message_get_mime_part(message.get()) == nullptr) {
        notAMessage(origin, QStringLiteral("no message could be read from it"));
    }
    return message;
}

} // namespace

ParsedMessage MimeReader::read(const QByteArray& bytes, const QString& origin) {
    checkLooksLikeMessage(bytes, origin);
    ensureGMime();
    const auto message = parse(bytes, origin);
    ParsedMessage parsed;
    MessageContent& content = parsed.content;
    content.subject = fromUtf8(g_mime_message_get_subject(message.get()));
    const QString messageClass =
        fromUtf8(g_mime_object_get_header(GMIME_OBJECT(message.get()), MimeWriter::messageClassHeader().constData()));
    if (!messageClass.trimmed().isEmpty()) {
        content.messageClass = messageClass.trimmed();
    }
    TreeWalker walker(content);
    walker.visit(g_mime_message_get_mime_part(message.get()), false);
    content.bodyFormat = walker.hasHtml()  ? BodyFormatCode::Html
                         : walker.hasRtf() ? BodyFormatCode::Rtf
                                           : BodyFormatCode::Plain;
    collectExtraHeaders(GMIME_OBJECT(message.get()), content);
    parsed.from = firstMailbox(g_mime_message_get_from(message.get()));
    collectMailboxes(g_mime_message_get_to(message.get()), RecipientKind::To, parsed.recipients);
    collectMailboxes(g_mime_message_get_cc(message.get()), RecipientKind::Cc, parsed.recipients);
    collectMailboxes(g_mime_message_get_bcc(message.get()), RecipientKind::Bcc, parsed.recipients);
    return parsed;
}

} // namespace quillmark::mail
