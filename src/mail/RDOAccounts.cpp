#include "mail/RDOAccounts.h"

#include "core/Error.h"

#include <utility>

namespace quillmark::mail {

RDOAccounts::RDOAccounts(std::vector<std::shared_ptr<RDOAccount>> accounts) : m_accounts(std::move(accounts)) {}

QString RDOAccounts::typeName() const {
    return QStringLiteral("RDOAccounts");
}

std::shared_ptr<RDOAccount> RDOAccounts::item(int position) const {
    return RDOAccountList(m_accounts).item(position);
}

std::shared_ptr<RDOAccountList> RDOAccounts::orderedList(int list) const {
    if (list != kMailAccounts) {
        throw core::Error(QStringLiteral("There is no account list %1; list %2 holds the mail accounts")
                              .arg(list)
                              .arg(kMailAccounts));
    }
    return std::make_shared<RDOAccountList>(m_accounts);
}

} // namespace quillmark::mail
