#pragma once

#include <QString>

namespace quillmark::mail {

// One mailbox: an optional display name and a bare address. Addresses reach the message
// headers and the SMTP envelope only through this class, which refuses anything that could
// smuggle in a second address or an extra header or SMTP command.
class MailAddress {
public:
    MailAddress() = default;
    MailAddress(QString name, QString address);

    // "Ann Example <ann@example.com>", "<ann@example.com>" or "ann@example.com".
    // Throws core::Error for control characters, several addresses or a malformed one.
    [[nodiscard]] static MailAddress parse(const QString& text);
    // Throws core::Error unless `address` is one bare address without control characters.
    static void checkBareAddress(const QString& address);
    // local@domain, both parts present, no spaces, control characters, angle brackets or commas.
    [[nodiscard]] static bool isWellFormed(const QString& address);
    // The display name with control characters (CR, LF, tab, ...) turned into spaces.
    [[nodiscard]] static QString safeDisplayName(const QString& name);

    [[nodiscard]] const QString& name() const noexcept { return m_name; }
    [[nodiscard]] const QString& address() const noexcept { return m_address; }
    // "Name <address>" or the bare address when there is no name.
    [[nodiscard]] QString toString() const;

private:
    QString m_name;
    QString m_address;
};

} // namespace quillmark::mail
