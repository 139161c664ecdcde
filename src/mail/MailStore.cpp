#include "mail/MailStore.h"

#include <utility>

namespace quillmark::mail {

MailStore::MailStore(QString root) : m_root(std::move(root)) {}

MaildirFolder MailStore::folder(const QString& name) const {
    return MaildirFolder(folderPath(name));
}

QString MailStore::folderPath(const QString& name) const {
    return m_root + QLatin1Char('/') + name;
}

} // namespace quillmark::mail
