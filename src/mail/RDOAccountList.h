#pragma once

#include "mail/MailObject.h"
#include "mail/RDOAccount.h"

#include <memory>
#include <vector>

namespace quillmark::mail {

// An ordered list of accounts; entry 1 is the default account.
class RDOAccountList : public MailObject {
public:
    explicit RDOAccountList(std::vector<std::shared_ptr<RDOAccount>> accounts);

    [[nodiscard]] QString typeName() const override;
    [[nodiscard]] int count() const noexcept { return static_cast<int>(m_accounts.size()); }
    // 1-based; throws core::Error outside 1..count().
    [[nodiscard]] std::shared_ptr<RDOAccount> item(int position) const;

private:
    std::vector<std::shared_ptr<RDOAccount>> m_accounts;
};

} // namespace quillmark::mail
