#pragma once

#include "mail/Transport.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace quillmark::mail {

// One message waiting in the Outbox, with what its later delivery needs.
struct SpoolEntry {
    QString account;      // the sending account's name in the profile
    Envelope envelope;    // MAIL FROM and RCPT TO (blind copies included)
    bool keepCopy = true; // false when the message was sent with DeleteAfterSubmit
    QDateTime queued;     // when it was first queued (UTC)
    QString reason;       // why it could not be delivered then
    QByteArray message;   // the finished RFC 5322 message, exactly as it will travel
};

// The Outbox file format: a block of "X-Quillmark-Spool-*" lines (values percent-encoded
// UTF-8, so each stays one line of ASCII) in front of the finished message. The file thus
// stays a readable message for any mail tool, and the envelope (which may hold blind
// copies) never becomes part of what is delivered.
class SpoolFile {
public:
    [[nodiscard]] static QByteArray encode(const SpoolEntry& entry);
    // Throws core::Error naming `origin` for a file that is not an Outbox entry.
    [[nodiscard]] static SpoolEntry decode(const QByteArray& bytes, const QString& origin);
};

} // namespace quillmark::mail
