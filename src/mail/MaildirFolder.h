#pragma once

#include "mail/FileDescriptor.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace quillmark::mail {

class DeferredSync;

// One Maildir folder (tmp/, new/, cur/). A message is written to tmp/, flushed to disk and
// renamed into new/, so a crash never leaves half a message where a reader looks. (When the
// flush is deferred, only a power failure in the following milliseconds could.)
class MaildirFolder {
public:
    explicit MaildirFolder(QString path);

    [[nodiscard]] const QString& path() const noexcept { return m_path; }

    // Stores the message durably and returns its entry name (unique within the folder).
    // Creates the folder's three sub-folders when they are missing.
    QString add(const QByteArray& message);
    // Stores the message at once and leaves flushing it to disk to `sync`: for copies that
    // must not hold up the caller (the Sent Items copy of a delivered message).
    QString add(const QByteArray& message, DeferredSync& sync);
    // Gives a complete message file that is already on disk a second name in this folder (a hard
    // link: no bytes are copied) and leaves flushing the new entry to `sync`. Nothing when the
    // file cannot be linked from here (another file system, or it is gone): write a copy instead.
    [[nodiscard]] std::optional<QString> addLinkTo(const QString& storedFile, DeferredSync& sync);
    // Where an entry just added lies, until a reader moves it to cur/.
    [[nodiscard]] QString newEntryPath(const QString& entry) const;
    // Whether new/ and cur/ hold nothing (a missing folder holds nothing), without listing them.
    [[nodiscard]] bool isEmpty() const;
    // The entries of new/ and cur/, oldest first.
    [[nodiscard]] std::vector<QString> entries() const;
    [[nodiscard]] QByteArray read(const QString& entry) const;
    void remove(const QString& entry);

private:
    enum class Flush { BeforeLinking, Later };

    // Writes the message to tmp/ and moves it into new/; returns its entry name.
    [[nodiscard]] QString link(const QByteArray& message, Flush flush) const;
    [[nodiscard]] FileDescriptor createStaged(const QString& path) const;
    void moveIntoNew(const QString& staged, const QString& delivered) const;
    [[nodiscard]] QString newFolder() const;

    QString m_path;
};

} // namespace quillmark::mail
