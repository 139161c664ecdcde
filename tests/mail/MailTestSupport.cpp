#include "MailTestSupport.h"

#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quillmark::mail::test {

QString freshFolder(const QString& name) {
    static int counter = 0;
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    QString test = info == nullptr ? QStringLiteral("none") : QString::fromUtf8(info->name());
    test.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString folder =
        quillmark::test::testHome() + QStringLiteral("/mail/%1-%2-%3").arg(test, name).arg(++counter);
    QDir().mkpath(folder);
    return folder;
}

QString writeFile(const QString& fileName, const QByteArray& bytes) {
    const QString path = freshFolder(QStringLiteral("file")) + QLatin1Char('/') + fileName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        ADD_FAILURE() << "cannot write " << qPrintable(path);
    }
    return path;
}

QString writeProfileFile(const QString& text) {
    const QString path = writeFile(QStringLiteral("mail-profiles.toml"), text.toUtf8());
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

QString writeTestProfile(const QString& transport) {
    const QString store = freshFolder(QStringLiteral("store"));
    return writeProfileFile(QStringLiteral("default = \"Test\"\n"
                                           "[profiles.Test]\n"
                                           "user-name = \"Tess Tester\"\n"
                                           "user-address = \"tess@example.test\"\n"
                                           "store = \"%1\"\n"
                                           "[[profiles.Test.accounts]]\n"
                                           "name = \"Main\"\n"
                                           "from = \"Tess Tester <tess@example.test>\"\n"
                                           "transport = \"%2\"\n"
                                           "[[profiles.Test.accounts]]\n"
                                           "name = \"Second\"\n"
                                           "from = \"Second Sender <second@example.test>\"\n"
                                           "transport = \"%2\"\n")
                                .arg(store, transport));
}

std::shared_ptr<RDOSession> loggedOnSession(const QString& profileFile, FakeMailServer& server, ManualClock& clock) {
    SessionSeams seams;
    seams.makeTransport = server.factory();
    seams.clock = clock.function();
    seams.profileFile = profileFile;
    auto session = RDOSession::make(std::move(seams));
    session->logon();
    return session;
}

} // namespace quillmark::mail::test
