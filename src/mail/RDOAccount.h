#pragma once

#include "mail/AccountConfig.h"
#include "mail/MailObject.h"

#include <memory>

namespace quillmark::mail {

// One sending account of the logged-on profile. The session keeps one object per account,
// so the same account always answers with the same object.
class RDOAccount : public MailObject {
public:
    RDOAccount(AccountConfig config, int position);

    [[nodiscard]] QString typeName() const override;

    [[nodiscard]] QString Name() const { return m_config.name; }
    [[nodiscard]] const QString& from() const noexcept { return m_config.from; }
    [[nodiscard]] const QString& transport() const noexcept { return m_config.transport; }
    // 1 for the default account, then in file order.
    [[nodiscard]] int position() const noexcept { return m_position; }
    [[nodiscard]] const AccountConfig& config() const noexcept { return m_config; }

private:
    AccountConfig m_config;
    int m_position;
};

} // namespace quillmark::mail
