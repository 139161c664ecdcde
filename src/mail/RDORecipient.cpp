#include "mail/RDORecipient.h"

#include "mail/MailAddress.h"

#include <utility>

namespace quillmark::mail {

RDORecipient::RDORecipient(RecipientData data) : m_data(std::move(data)) {}

QString RDORecipient::typeName() const {
    return QStringLiteral("RDORecipient");
}

bool RDORecipient::resolve() {
    m_data.resolved = MailAddress::isWellFormed(m_data.address);
    return m_data.resolved;
}

} // namespace quillmark::mail
