#include "mail/RDOItems.h"

#include "core/Error.h"
#include "mail/MailStore.h"
#include "mail/MimeReader.h"
#include "mail/RDOMail.h"
#include "mail/RDOSession.h"
#include "mail/SpoolFile.h"

#include <utility>

namespace quillmark::mail {

RDOItems::RDOItems(std::shared_ptr<RDOSession> session, QString folderName)
    : m_session(std::move(session)), m_folderName(std::move(folderName)) {}

QString RDOItems::typeName() const {
    return QStringLiteral("RDOItems");
}

std::shared_ptr<RDOMail> RDOItems::add(const QString& messageClass) {
    MessageContent content;
    if (!messageClass.trimmed().isEmpty()) {
        content.messageClass = messageClass;
    }
    const auto account = m_session->accounts()->orderedList(RDOAccounts::kMailAccounts)->item(1);
    return std::make_shared<RDOMail>(m_session, m_folderName, std::move(content), account);
}

int RDOItems::count() const {
    return static_cast<int>(m_session->store().folder(m_folderName).entries().size());
}

std::shared_ptr<RDOMail> RDOItems::item(int position) const {
    const MaildirFolder folder = m_session->store().folder(m_folderName);
    const auto entries = folder.entries();
    if (position < 1 || static_cast<size_t>(position) > entries.size()) {
        throw core::Error(QStringLiteral("There is no message number %1 in \"%2\"; it holds %3")
                              .arg(position)
                              .arg(m_folderName)
                              .arg(entries.size()));
    }
    const QString& entry = entries[static_cast<size_t>(position - 1)];
    const QString origin = folder.path() + QLatin1Char('/') + entry;
    QByteArray bytes = folder.read(entry);
    if (bytes.startsWith("X-Quillmark-Spool-")) { // an Outbox or Failed entry
        bytes = SpoolFile::decode(bytes, origin).message;
    }
    return m_session->messageFrom(MimeReader::read(bytes, origin), m_folderName);
}

} // namespace quillmark::mail
