#pragma once

#include "mail/MailObject.h"

namespace quillmark::mail {

// An address-book entry: here, the logged-on user of a profile.
class RDOAddressEntry : public MailObject {
public:
    RDOAddressEntry(QString name, QString address);

    [[nodiscard]] QString typeName() const override;
    [[nodiscard]] const QString& name() const noexcept { return m_name; }
    [[nodiscard]] const QString& address() const noexcept { return m_address; }
    [[nodiscard]] QString addressType() const { return QStringLiteral("SMTP"); }

private:
    QString m_name;
    QString m_address;
};

} // namespace quillmark::mail
