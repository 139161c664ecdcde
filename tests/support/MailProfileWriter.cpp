#include "support/MailProfileWriter.h"

#include "mail/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillmark::test {

void writeMailProfile(const QString& name, const QString& store, const QString& transport, int timeoutSeconds) {
    const QString path = mail::ProfileFile::defaultPath();
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).path());
    mail::AccountConfig account;
    account.name = QStringLiteral("Local delivery");
    account.from = QStringLiteral("Ann Sender <ann.sender@example.com>");
    account.transport = transport;
    account.timeoutSeconds = timeoutSeconds;
    const mail::MailProfile profile{
        name, QStringLiteral("Ann Sender"), QStringLiteral("ann.sender@example.com"), store, {account}};
    mail::ProfileFile::addProfile(profile, true, path);
}

} // namespace quillmark::test
