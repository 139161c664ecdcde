#pragma once

#include "mail/MailObject.h"

#include <memory>

namespace quillmark::mail {

class RDOSession;
class RDOMail;

// The messages of one folder: new ones are made here, stored ones read back.
class RDOItems : public MailObject {
public:
    RDOItems(std::shared_ptr<RDOSession> session, QString folderName);

    [[nodiscard]] QString typeName() const override;
    // A new, empty, in-memory message of `messageClass` bound to the folder, sending through
    // the profile's default account.
    [[nodiscard]] std::shared_ptr<RDOMail> add(const QString& messageClass);
    // The stored messages, oldest first (for the Outbox: the queued messages).
    [[nodiscard]] int count() const;
    // 1-based; the stored message read back. Throws core::Error outside 1..count().
    [[nodiscard]] std::shared_ptr<RDOMail> item(int position) const;

private:
    std::shared_ptr<RDOSession> m_session;
    QString m_folderName;
};

} // namespace quillmark::mail
