#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace quillmark::mail {

// Recipient kinds, as the address book numbers them.
enum class RecipientKind : int { To = 1, Cc = 2, Bcc = 3 };

struct RecipientData {
    QString name;
    QString address;
    QString addressType = QStringLiteral("SMTP");
    RecipientKind kind = RecipientKind::To;
    bool resolved = false;
};

// A file carried by a message: an attachment, or an image the HTML body shows by its
// Content-ID (multipart/related).
struct MessagePart {
    QString fileName;
    QByteArray contentType = QByteArrayLiteral("application/octet-stream");
    QString contentId; // without angle brackets; empty for an ordinary attachment
    QByteArray data;   // decoded bytes
};

// A header of a template that has no property of its own (Reply-To, X-Priority, ...), kept so
// that a copy carries it too.
struct ExtraHeader {
    QByteArray name;
    QString value;
};

enum class BodyFormatCode : int { Unspecified = 0, Plain = 1, Html = 2, Rtf = 3 };

// Everything a message is, apart from where it lives and whom it goes to.
struct MessageContent {
    QString messageClass = QStringLiteral("IPM.Note");
    QString subject;
    QString body;
    QString htmlBody;
    QString rtfBody;
    BodyFormatCode bodyFormat = BodyFormatCode::Plain;
    bool sendAsICal = false;
    bool deleteAfterSubmit = false;
    std::vector<MessagePart> attachments;
    std::vector<MessagePart> inlineParts;
    std::vector<ExtraHeader> extraHeaders;
};

} // namespace quillmark::mail
