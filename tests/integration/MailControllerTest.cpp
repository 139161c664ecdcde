#include "mail/MailStore.h"
#include "mail/ProfileFile.h"
#include "mail/RDOSession.h"
#include "support/Processes.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quillmark {
namespace {

using test::runController;

// The controller and this process share the test home, so they see one profile file.
class MailControllerTest : public testing::Test {
protected:
    void SetUp() override { QFile::remove(mail::ProfileFile::defaultPath()); }
    void TearDown() override { QFile::remove(mail::ProfileFile::defaultPath()); }

    static void writeProfiles(const QString& text) {
        const QString path = mail::ProfileFile::defaultPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    static void expectOneErrorLine(const test::ProcessResult& result, const QString& containing) {
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(result.standardError.count(QLatin1Char('\n')), 1) << qPrintable(result.standardError);
        EXPECT_TRUE(result.standardError.contains(containing)) << qPrintable(result.standardError);
    }
};

TEST_F(MailControllerTest, WithoutAProfileFileTheBuiltInProfileIsListed) {
    const auto result = runController({QStringLiteral("profile"), QStringLiteral("list")});
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_TRUE(result.standardOutput.startsWith(QStringLiteral("Local (default)")))
        << qPrintable(result.standardOutput);
    EXPECT_TRUE(result.standardOutput.contains(QStringLiteral("maildir:")));
}

TEST_F(MailControllerTest, AddKeepsExistingProfilesAndRefusesDuplicates) {
    auto result =
        runController({QStringLiteral("profile"), QStringLiteral("add"), QStringLiteral("Work"),
                       QStringLiteral("--from"), QStringLiteral("Ann <ann@example.com>"), QStringLiteral("--transport"),
                       QStringLiteral("smtp://127.0.0.1:1"), QStringLiteral("--username"), QStringLiteral("ann")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    result = runController({QStringLiteral("profile"), QStringLiteral("add"), QStringLiteral("Home"),
                            QStringLiteral("--from"), QStringLiteral("ann@home.example"), QStringLiteral("--transport"),
                            QStringLiteral("maildir:/tmp/nowhere"), QStringLiteral("--default")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);

    const auto file = mail::ProfileFile::load();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->profiles().size(), 2U);
    EXPECT_EQ(file->defaultProfileName(), QStringLiteral("Home"));
    EXPECT_EQ(file->find(QStringLiteral("Work"))->accounts[0].username, QStringLiteral("ann"));

    result = runController({QStringLiteral("profile"), QStringLiteral("list")});
    EXPECT_TRUE(result.standardOutput.contains(QStringLiteral("Home (default)"))) << qPrintable(result.standardOutput);
    EXPECT_TRUE(result.standardOutput.contains(QStringLiteral("Work  <ann@example.com>")));

    result = runController({QStringLiteral("profile"), QStringLiteral("add"), QStringLiteral("work"),
                            QStringLiteral("--from"), QStringLiteral("x@y.z"), QStringLiteral("--transport"),
                            QStringLiteral("smtp://127.0.0.1:1")});
    expectOneErrorLine(result, QStringLiteral("already exists"));
    result = runController({QStringLiteral("profile"), QStringLiteral("add"), QStringLiteral("Evil"),
                            QStringLiteral("--from"), QStringLiteral("a@x.test\r\nBcc: b@y.test"),
                            QStringLiteral("--transport"), QStringLiteral("smtp://127.0.0.1:1")});
    expectOneErrorLine(result, QStringLiteral("control character"));
}

TEST_F(MailControllerTest, BadFilesAndUnknownProfilesFailWithOneLine) {
    writeProfiles(QStringLiteral("default = \"A\"\n[profiles.A\n"));
    expectOneErrorLine(runController({QStringLiteral("profile"), QStringLiteral("list")}), QStringLiteral("line 2"));
    QFile::remove(mail::ProfileFile::defaultPath());
    expectOneErrorLine(runController({QStringLiteral("outbox"), QStringLiteral("list"), QStringLiteral("Nope")}),
                       QStringLiteral("\"Nope\" is not defined"));
    expectOneErrorLine(runController({QStringLiteral("profile"), QStringLiteral("test"), QStringLiteral("Nope")}),
                       QStringLiteral("\"Nope\" is not defined"));
}

TEST_F(MailControllerTest, ProfileTestSaysWhatHappenedAndSendsNothing) {
    const QString delivered = test::testHome() + QStringLiteral("/controller-delivered");
    writeProfiles(QStringLiteral("[profiles.Good]\n[[profiles.Good.accounts]]\nname=\"Local\"\nfrom=\"a@b.test\"\n"
                                 "transport=\"maildir:%1\"\n"
                                 "[profiles.Bad]\n[[profiles.Bad.accounts]]\nname=\"Nowhere\"\nfrom=\"a@b.test\"\n"
                                 "transport=\"smtp://127.0.0.1:1\"\ntimeout-seconds=5\n")
                      .arg(delivered));
    auto result = runController({QStringLiteral("profile"), QStringLiteral("test"), QStringLiteral("Good")});
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_TRUE(result.standardOutput.contains(QStringLiteral("nothing was sent")));
    result = runController({QStringLiteral("profile"), QStringLiteral("test"), QStringLiteral("Bad")});
    expectOneErrorLine(result, QStringLiteral("Nowhere"));
}

TEST_F(MailControllerTest, OutboxListAndFlushShowAndDeliverQueuedMessages) {
    // A maildir: folder below a plain file cannot be made, so delivery is put off.
    const QString blocker = test::testHome() + QStringLiteral("/blocker");
    QFile(blocker).open(QIODevice::WriteOnly);
    const QString store = test::testHome() + QStringLiteral("/controller-store");
    const QString profile = QStringLiteral("[profiles.Q]\nstore=\"%1\"\n[[profiles.Q.accounts]]\nname=\"Drop\"\n"
                                           "from=\"q@b.test\"\ntransport=\"maildir:%2\"\n");
    writeProfiles(profile.arg(store, blocker + QStringLiteral("/sub")));
    {
        const auto session = mail::RDOSession::make();
        session->logon();
        const auto message = session->defaultFolder(4)->items()->add(QStringLiteral("IPM.Note"));
        message->setSubject(QStringLiteral("Wartend"));
        message->setBody(QStringLiteral("x"));
        (void)message->Recipients()->Add(QStringLiteral("r@example.test"));
        message->Send();
        ASSERT_EQ(session->queuedMessages().size(), 1U);
    }
    auto result = runController({QStringLiteral("outbox"), QStringLiteral("list")});
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_TRUE(result.standardOutput.contains(QStringLiteral("to r@example.test  \"Wartend\"")))
        << qPrintable(result.standardOutput);

    result = runController({QStringLiteral("outbox"), QStringLiteral("flush"), QStringLiteral("Q")});
    expectOneErrorLine(result, QStringLiteral("Drop"));
    EXPECT_TRUE(result.standardOutput.contains(QStringLiteral("1 still queued")));

    writeProfiles(profile.arg(store, test::testHome() + QStringLiteral("/controller-delivery")));
    result = runController({QStringLiteral("outbox"), QStringLiteral("flush")});
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_TRUE(result.standardOutput.startsWith(QStringLiteral("Delivered 1,"))) << qPrintable(result.standardOutput);
    result = runController({QStringLiteral("outbox"), QStringLiteral("flush")});
    EXPECT_TRUE(result.standardOutput.startsWith(QStringLiteral("Delivered 0,"))) << "exactly once";
    EXPECT_EQ(mail::MaildirFolder(test::testHome() + QStringLiteral("/controller-delivery")).entries().size(), 1U);
    result = runController({QStringLiteral("outbox"), QStringLiteral("list"), QStringLiteral("q")});
    EXPECT_TRUE(result.standardOutput.startsWith(QStringLiteral("The Outbox of \"Q\" is empty")));
}

} // namespace
} // namespace quillmark
