#pragma once

#include "mail/MailAddress.h"
#include "mail/MessageContent.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace quillmark::mail {

// What submission adds to a message's content: who sends it, to whom, when, under which id.
struct Submission {
    MailAddress from;
    std::vector<RecipientData> recipients;
    QDateTime date;
    QString messageId; // without angle brackets
};

// Turns a message into the finished RFC 5322/MIME text that travels: UTF-8 bodies in
// quoted-printable, attachments in base64, RFC 2047 words for non-ASCII headers, CR LF line
// ends. The message class travels in the X-Quillmark-Message-Class header so that a stored
// copy reads back as the same kind of item.
class MimeWriter {
public:
    [[nodiscard]] static QByteArray write(const MessageContent& content, const Submission& submission);
    // A new, globally unique id in the sender's domain.
    [[nodiscard]] static QString newMessageId(const QString& senderAddress);
    // The header that keeps the message class with a stored message.
    [[nodiscard]] static QByteArray messageClassHeader();
};

} // namespace quillmark::mail
