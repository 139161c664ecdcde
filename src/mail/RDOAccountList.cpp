#include "mail/RDOAccountList.h"

#include "core/Error.h"

#include <utility>

namespace quillmark::mail {

RDOAccountList::RDOAccountList(std::vector<std::shared_ptr<RDOAccount>> accounts) : m_accounts(std::move(accounts)) {}

QString RDOAccountList::typeName() const {
    return QStringLiteral("RDOAccountList");
}

std::shared_ptr<RDOAccount> RDOAccountList::item(int position) const {
    if (position < 1 || position > count()) {
        throw core::Error(
            QStringLiteral("There is no account number %1; the list holds %2").arg(position).arg(count()));
    }
    return m_accounts[static_cast<size_t>(position - 1)];
}

} // namespace quillmark::mail
