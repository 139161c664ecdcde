#pragma once

#include "mail/MailObject.h"

#include <memory>

namespace quillmark::mail {

class RDOSession;
class RDOItems;

// A folder of the profile's store (Outbox, Sent Items).
class RDOFolder : public MailObject {
public:
    RDOFolder(std::shared_ptr<RDOSession> session, QString name);

    [[nodiscard]] QString typeName() const override;
    [[nodiscard]] const QString& name() const noexcept { return m_name; }
    [[nodiscard]] std::shared_ptr<RDOItems> items() const;

private:
    std::shared_ptr<RDOSession> m_session;
    QString m_name;
};

} // namespace quillmark::mail
