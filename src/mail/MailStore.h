#pragma once

#include "mail/MaildirFolder.h"

#include <QString>

namespace quillmark::mail {

// A profile's folder store: one Maildir per folder under the store's root.
class MailStore {
public:
    explicit MailStore(QString root);

    [[nodiscard]] static QString outboxName() { return QStringLiteral("Outbox"); }
    [[nodiscard]] static QString sentItemsName() { return QStringLiteral("Sent Items"); }
    // Where the built-in profile's maildir: account delivers.
    [[nodiscard]] static QString deliveredName() { return QStringLiteral("Delivered"); }
    // Queued messages that the server refused for good, kept for the user to look at.
    [[nodiscard]] static QString failedName() { return QStringLiteral("Failed"); }

    [[nodiscard]] MaildirFolder folder(const QString& name) const;
    [[nodiscard]] QString folderPath(const QString& name) const;
    [[nodiscard]] const QString& root() const noexcept { return m_root; }

private:
    QString m_root;
};

} // namespace quillmark::mail
