#pragma once

#include "mail/MailObject.h"
#include "mail/MessageContent.h"

namespace quillmark::mail {

// One recipient of a message.
class RDORecipient : public MailObject {
public:
    explicit RDORecipient(RecipientData data);

    [[nodiscard]] QString typeName() const override;
    [[nodiscard]] const QString& name() const noexcept { return m_data.name; }
    [[nodiscard]] const QString& address() const noexcept { return m_data.address; }
    [[nodiscard]] const QString& addressType() const noexcept { return m_data.addressType; }
    // 1 To, 2 Cc, 3 Bcc.
    [[nodiscard]] int type() const noexcept { return static_cast<int>(m_data.kind); }
    [[nodiscard]] bool isResolved() const noexcept { return m_data.resolved; }
    // Checks that the address is one well-formed address; records and returns the result.
    bool resolve();
    [[nodiscard]] const RecipientData& data() const noexcept { return m_data; }

private:
    RecipientData m_data;
};

} // namespace quillmark::mail
