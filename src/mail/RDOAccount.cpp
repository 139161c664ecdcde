#include "mail/RDOAccount.h"

#include <utility>

namespace quillmark::mail {

RDOAccount::RDOAccount(AccountConfig config, int position) : m_config(std::move(config)), m_position(position) {}

QString RDOAccount::typeName() const {
    return QStringLiteral("RDOAccount");
}

} // namespace quillmark::mail
