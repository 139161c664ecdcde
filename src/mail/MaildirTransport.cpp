#include "mail/MaildirTransport.h"

#include "core/Error.h"
#include "mail/SmtpReplies.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace quillmark::mail {

MaildirTransport::MaildirTransport(QString folder) : m_folder(std::move(folder)) {}

DeliveryResult MaildirTransport::deliver(const Envelope& envelope, const QByteArray& message) {
    // The same addresses a server would accept: a message means the same whichever transport carries it.
    if (auto refused = refusedEnvelope(envelope)) {
        return *refused;
    }
    try {
        const QString entry = m_folder.add(message);
        return DeliveryResult{DeliveryOutcome::Accepted, QString(), m_folder.newEntryPath(entry)};
    } catch (const core::Error& error) {
        return DeliveryResult{DeliveryOutcome::TryLater, error.description()};
    }
}

void MaildirTransport::verify() {
    for (const char* sub : {"tmp", "new", "cur"}) {
        const QString path = m_folder.path() + QLatin1Char('/') + QLatin1String(sub);
        if (!QDir().mkpath(path) || !QFileInfo(path).isWritable()) {
            throw core::Error(QStringLiteral("The mail folder \"%1\" cannot be written to").arg(path));
        }
    }
}

} // namespace quillmark::mail
