#pragma once

#include "mail/MessageContent.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace quillmark::mail {

struct ParsedMessage {
    MessageContent content;
    QString from; // "Name <address>" as the From header gives it; empty when there is none
    std::vector<RecipientData> recipients;
};

// Reads RFC 5322/MIME text (a template file, a stored copy) back into a message.
class MimeReader {
public:
    // `origin` names the source in failures (a file's path). Throws core::Error for anything
    // that is not an RFC 5322 message, including Outlook's Compound File format.
    [[nodiscard]] static ParsedMessage read(const QByteArray& bytes, const QString& origin);
};

} // namespace quillmark::mail
