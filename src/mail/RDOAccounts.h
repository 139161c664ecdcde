#pragma once

#include "mail/MailObject.h"
#include "mail/RDOAccount.h"
#include "mail/RDOAccountList.h"

#include <memory>
#include <vector>

namespace quillmark::mail {

// The accounts of the logged-on profile.
class RDOAccounts : public MailObject {
public:
    // The ordered list of sending (mail) accounts.
    static constexpr int kMailAccounts = 2;

    explicit RDOAccounts(std::vector<std::shared_ptr<RDOAccount>> accounts);

    [[nodiscard]] QString typeName() const override;
    [[nodiscard]] int count() const noexcept { return static_cast<int>(m_accounts.size()); }
    // 1-based, in file order.
    [[nodiscard]] std::shared_ptr<RDOAccount> item(int position) const;
    // The ordered list selected by `list`; only kMailAccounts (2) is known, others fail.
    [[nodiscard]] std::shared_ptr<RDOAccountList> orderedList(int list) const;

private:
    std::vector<std::shared_ptr<RDOAccount>> m_accounts;
};

} // namespace quillmark::mail
