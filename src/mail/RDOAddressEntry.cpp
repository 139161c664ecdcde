#include "mail/RDOAddressEntry.h"

#include <utility>

namespace quillmark::mail {

RDOAddressEntry::RDOAddressEntry(QString name, QString address)
    : m_name(std::move(name)), m_address(std::move(address)) {}

QString RDOAddressEntry::typeName() const {
    return QStringLiteral("RDOAddressEntry");
}

} // namespace quillmark::mail
