#include "mail/SpoolFile.h"

#include "core/Error.h"

#include <QUrl>

namespace quillmark::mail {

namespace {

constexpr char kPrefix[] = "X-Quillmark-Spool-";
constexpr qsizetype kPrefixLength = sizeof kPrefix - 1;

QByteArray line(const char* field, const QString& value) {
    return QByteArray(kPrefix) + field + ": " + QUrl::toPercentEncoding(value) + "\r\n";
}

QString valueOf(const QByteArray& encoded) {
    return QUrl::fromPercentEncoding(encoded.trimmed());
}

} // namespace

QByteArray SpoolFile::encode(const SpoolEntry& entry) {
    QByteArray bytes;
    bytes += line("Account", entry.account);
    bytes += line("Sender", entry.envelope.sender);
    for (const auto& recipient : entry.envelope.recipients) {
        bytes += line("Recipient", recipient);
    }
    bytes += line("Keep-Copy", entry.keepCopy ? QStringLiteral("yes") : QStringLiteral("no"));
    bytes += line("Queued", entry.queued.toUTC().toString(Qt::ISODate));
    bytes += line("Reason", entry.reason);
    return bytes + entry.message;
}

SpoolEntry SpoolFile::decode(const QByteArray& bytes, const QString& origin) {
    SpoolEntry entry;
    qsizetype position = 0;
    bool sawAccount = false;
    while (bytes.mid(position, kPrefixLength) == kPrefix) {
        const qsizetype end = bytes.indexOf('\n', position);
        if (end < 0) {
            break;
        }
        const QByteArray field = bytes.mid(position, end - position);
        position = end + 1;
        const qsizetype colon = field.indexOf(':');
        if (colon < kPrefixLength) {
            break;
        }
        const QByteArray name = field.mid(kPrefixLength, colon - kPrefixLength);
        const QString value = valueOf(field.mid(colon + 1));
        if (name == "Account") {
            entry.account = value;
            sawAccount = true;
        } else if (name == "Sender") {
            entry.envelope.sender = value;
        } else if (name == "Recipient") {
            entry.envelope.recipients << value;
        } else if (name == "Keep-Copy") {
            entry.keepCopy = value != QLatin1String("no");
        } else if (name == "Queued") {
            entry.queued = QDateTime::fromString(value, Qt::ISODate);
        } else if (name == "Reason") {
            entry.reason = value;
        }
    }
    if (!sawAccount || entry.envelope.recipients.isEmpty()) {
        throw core::Error(
            QStringLiteral("\"%1\" is not a queued message: its account or recipients are missing").arg(origin));
    }
    entry.message = bytes.mid(position);
    return entry;
}

} // namespace quillmark::mail
