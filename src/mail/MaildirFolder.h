#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace quillmark::mail {

// One Maildir folder (tmp/, new/, cur/). A message is written to tmp/, flushed to disk and
// renamed into new/, so a crash never leaves half a message where a reader looks.
class MaildirFolder {
public:
    explicit MaildirFolder(QString path);

    [[nodiscard]] const QString& path() const noexcept { return m_path; }

    // Stores the message durably and returns its entry name (unique within the folder).
    // Creates the folder's three sub-folders when they are missing.
    QString add(const QByteArray& message);
    // The entries of new/ and cur/, oldest first.
    [[nodiscard]] std::vector<QString> entries() const;
    [[nodiscard]] QByteArray read(const QString& entry) const;
    void remove(const QString& entry);

private:
    QString m_path;
};

} // namespace quillmark::mail
