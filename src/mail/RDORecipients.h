#pragma once

#include "mail/MailObject.h"
#include "mail/MessageContent.h"
#include "mail/RDORecipient.h"

#include <memory>
#include <vector>

namespace quillmark::mail {

// The recipients of one message. Every address is checked as it is added: one address, no
// control characters, so nothing added here can inject a header or an SMTP command.
class RDORecipients : public MailObject {
public:
    [[nodiscard]] QString typeName() const override;

    void Clear();
    // One one-off recipient. `addressType` must be "SMTP"; `recipientType` 1 To, 2 Cc, 3 Bcc.
    // Throws core::Error for anything else and for an address that is not one well-formed address.
    std::shared_ptr<RDORecipient> AddEx(const QString& name, const QString& address, const QString& addressType,
                                        int recipientType);
    // A To recipient from "address" or "Name <address>".
    std::shared_ptr<RDORecipient> Add(const QString& address);
    // Checks every address; true when all are well formed.
    bool ResolveAll();

    [[nodiscard]] int count() const noexcept { return static_cast<int>(m_recipients.size()); }
    // 1-based; throws core::Error outside 1..count().
    [[nodiscard]] std::shared_ptr<RDORecipient> item(int position) const;
    [[nodiscard]] std::vector<RecipientData> data() const;
    // Replaces the list with copies of `recipients` (used by CopyTo and when reading a file).
    void assign(const std::vector<RecipientData>& recipients);

private:
    std::vector<std::shared_ptr<RDORecipient>> m_recipients;
};

} // namespace quillmark::mail
