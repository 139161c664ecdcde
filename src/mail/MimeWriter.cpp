#include "mail/MimeWriter.h"

#include "core/Error.h"
#include "mail/GMime_p.h"

#include <QUuid>

namespace quillmark::mail {

namespace {

GObjectPtr<GMimeObject> asObject(GMimeObject* object) {
    return GObjectPtr<GMimeObject>(object);
}

// Bodies are kept with LF line ends inside GMime; the writer turns them into CR LF.
QByteArray unixLines(const QString& text) {
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return normalised.toUtf8();
}

void setContent(GMimePart* part, const QByteArray& bytes, GMimeContentEncoding encoding) {
    auto stream =
        makeGObjectPtr(g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
    auto wrapper = makeGObjectPtr(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.get());
    g_mime_part_set_content_encoding(part, encoding);
}

// A text part in UTF-8, quoted-printable: safe for any 7-bit transport, readable in the raw.
GObjectPtr<GMimeObject> makeTextPart(const char* subtype, const QString& text) {
    GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
    auto owned = asObject(GMIME_OBJECT(part));
    setContent(GMIME_PART(part), unixLines(text), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    g_mime_text_part_set_charset(part, "utf-8");
    return owned;
}

GObjectPtr<GMimeObject> makeFilePart(const MessagePart& file, const char* disposition) {
    const qsizetype slash = file.contentType.indexOf('/');
    const QByteArray type = slash > 0 ? file.contentType.left(slash) : QByteArrayLiteral("application");
    const QByteArray subtype = slash > 0 ? file.contentType.mid(slash + 1) : QByteArrayLiteral("octet-stream");
    GMimePart* part = g_mime_part_new_with_type(type.constData(), subtype.constData());
    auto owned = asObject(GMIME_OBJECT(part));
    setContent(part, file.data, GMIME_CONTENT_ENCODING_BASE64);
    g_mime_object_set_disposition(GMIME_OBJECT(part), disposition);
    if (!file.fileName.isEmpty()) {
        g_mime_part_set_filename(part, MailAddress::safeDisplayName(file.fileName).toUtf8().constData());
    }
    if (!file.contentId.isEmpty()) {
        g_mime_part_set_content_id(part, file.contentId.toUtf8().constData());
    }
    return owned;
}

GObjectPtr<GMimeObject> makeMultipart(const char* subtype, std::vector<GObjectPtr<GMimeObject>> parts) {
    GMimeMultipart* multipart = g_mime_multipart_new_with_subtype(subtype);
    auto owned = asObject(GMIME_OBJECT(multipart));
    for (const auto& part : parts) {
        g_mime_multipart_add(multipart, part.get()); // takes its own reference
    }
    return owned;
}

GObjectPtr<GMimeObject> makeHtmlBranch(const MessageContent& content) {
    auto html = makeTextPart("html", content.htmlBody);
    if (content.inlineParts.empty()) {
        return html;
    }
    std::vector<GObjectPtr<GMimeObject>> parts;
    parts.push_back(std::move(html));
    for (const auto& image : content.inlineParts) {
        parts.push_back(makeFilePart(image, GMIME_DISPOSITION_INLINE));
    }
    auto related = makeMultipart("related", std::move(parts));
    g_mime_content_type_set_parameter(g_mime_object_get_content_type(related.get()), "type", "text/html");
    return related;
}

GObjectPtr<GMimeObject> makeBodyTree(const MessageContent& content) {
    auto plain = makeTextPart("plain", content.body);
    std::vector<GObjectPtr<GMimeObject>> alternatives;
    alternatives.push_back(std::move(plain));
    if (content.bodyFormat == BodyFormatCode::Html) {
        alternatives.push_back(makeHtmlBranch(content));
    } else if (content.bodyFormat == BodyFormatCode::Rtf) {
        alternatives.push_back(makeTextPart("rtf", content.rtfBody));
    }
    if (alternatives.size() == 1) {
        return std::move(alternatives.front());
    }
    return makeMultipart("alternative", std::move(alternatives));
}

GObjectPtr<GMimeObject> makeMimeTree(const MessageContent& content) {
    auto body = makeBodyTree(content);
    std::vector<GObjectPtr<GMimeObject>> parts;
    // Images of an HTML body travel inside it; without one they are plain attachments.
    const bool imagesInBody = content.bodyFormat == BodyFormatCode::Html;
    if (content.attachments.empty() && (imagesInBody || content.inlineParts.empty())) {
        return body;
    }
    parts.push_back(std::move(body));
    if (!imagesInBody) {
        for (const auto& image : content.inlineParts) {
            parts.push_back(makeFilePart(image, GMIME_DISPOSITION_ATTACHMENT));
        }
    }
    for (const auto& file : content.attachments) {
        parts.push_back(makeFilePart(file, GMIME_DISPOSITION_ATTACHMENT));
    }
    return makeMultipart("mixed", std::move(parts));
}

bool isHeaderName(const QByteArray& name) {
    if (name.isEmpty()) {
        return false;
    }
    for (const char c : name) {
        if (c <= ' ' || c > '~' || c == ':') {
            return false;
        }
    }
    return true;
}

// Names are encoded as UTF-8 words whatever they hold, like the subject and the bodies.
void addMailbox(GMimeMessage* message, GMimeAddressType type, const QString& name, const QString& address) {
    auto mailbox = makeGObjectPtr(internet_address_mailbox_new(MailAddress::safeDisplayName(name).toUtf8().constData(),
                                                               address.toUtf8().constData()));
    internet_address_set_charset(mailbox.get(), "utf-8");
    internet_address_list_add(g_mime_message_get_addresses(message, type), mailbox.get());
}

void addAddresses(GMimeMessage* message, const Submission& submission) {
    addMailbox(message, GMIME_ADDRESS_TYPE_FROM, submission.from.name(), submission.from.address());
    for (const auto& recipient : submission.recipients) {
        // Every address was checked when it was added; check again, since this is the last
        // point before it becomes header text.
        MailAddress::checkBareAddress(recipient.address);
        if (recipient.kind == RecipientKind::Bcc) {
            continue; // blind copies travel in the envelope only
        }
        const auto type = recipient.kind == RecipientKind::Cc ? GMIME_ADDRESS_TYPE_CC : GMIME_ADDRESS_TYPE_TO;
        const QString name = recipient.name == recipient.address ? QString() : recipient.name;
        addMailbox(message, type, name, recipient.address);
    }
}

void addHeaders(GMimeMessage* message, const MessageContent& content, const Submission& submission) {
    addAddresses(message, submission);
    g_mime_message_set_subject(message, MailAddress::safeDisplayName(content.subject).toUtf8().constData(), "utf-8");
    // The submission time carries its own offset from UTC, so no time-zone file is read per message.
    const GTimeZonePtr zone(g_time_zone_new_offset(submission.date.offsetFromUtc()));
    const GDateTimePtr utc(g_date_time_new_from_unix_utc(submission.date.toSecsSinceEpoch()));
    const GDateTimePtr date(g_date_time_to_timezone(utc.get(), zone.get()));
    g_mime_message_set_date(message, date.get());
    g_mime_message_set_message_id(message, submission.messageId.toUtf8().constData());
    GMimeObject* object = GMIME_OBJECT(message);
    g_mime_object_set_header(object, MimeWriter::messageClassHeader().constData(),
                             MailAddress::safeDisplayName(content.messageClass).toUtf8().constData(), "utf-8");
    for (const auto& header : content.extraHeaders) {
        if (isHeaderName(header.name)) {
            g_mime_object_append_header(object, header.name.constData(),
                                        MailAddress::safeDisplayName(header.value).toUtf8().constData(), "utf-8");
        }
    }
}

QByteArray serialise(GMimeObject* object) {
    FormatOptionsPtr options(g_mime_format_options_new());
    g_mime_format_options_set_newline_format(options.get(), GMIME_NEWLINE_FORMAT_DOS);
    auto stream = makeGObjectPtr(g_mime_stream_mem_new());
    if (g_mime_object_write_to_stream(object, options.get(), stream.get()) < 0) {
        throw core::Error(QStringLiteral("The message could not be written out"));
    }
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
}

} // namespace

QByteArray MimeWriter::write(const MessageContent& content, const Submission& submission) {
    ensureGMime();
    auto message = makeGObjectPtr(g_mime_message_new(TRUE));
    addHeaders(message.get(), content, submission);
    auto tree = makeMimeTree(content);
    g_mime_message_set_mime_part(message.get(), tree.get());
    return serialise(GMIME_OBJECT(message.get()));
}

QString MimeWriter::newMessageId(const QString& senderAddress) {
    QString domain = senderAddress.mid(senderAddress.lastIndexOf(QLatin1Char('@')) + 1);
    if (domain.isEmpty() || !MailAddress::isWellFormed(QStringLiteral("x@") + domain)) {
        domain = QStringLiteral("quillmark.invalid");
    }
    return QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".quillmark@") + domain;
}

QByteArray MimeWriter::messageClassHeader() {
    return QByteArrayLiteral("X-Quillmark-Message-Class");
}

} // namespace quillmark::mail
