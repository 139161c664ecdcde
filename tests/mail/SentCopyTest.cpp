// The Sent Items copy of a message that the maildir: transport delivered into a file.
#include "MailTestSupport.h"
#include "mail/MailStore.h"
#include "mail/MaildirFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillmark::mail {
namespace {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    nlink_t links = 0;
};

FileIdentity identityOf(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        ADD_FAILURE() << "cannot stat " << qPrintable(path);
    }
    return {status.st_dev, status.st_ino, status.st_nlink};
}

class SentCopyTest : public testing::Test {
protected:
    // Logs on to a profile whose one account delivers into `deliveredFolder`.
    void logOn(const QString& deliveredFolder) {
        m_delivered = deliveredFolder;
        SessionSeams seams;
        seams.profileFile = test::writeTestProfile(QStringLiteral("maildir:") + deliveredFolder);
        m_session = RDOSession::make(std::move(seams));
        m_session->logon();
    }
    void send() const {
        const auto message =
            m_session->defaultFolder(RDOSession::kOutboxFolder)->items()->add(QStringLiteral("IPM.Note"));
        message->setSubject(QStringLiteral("Spring news"));
        message->setBody(QStringLiteral("Hello Zoë"));
        (void)message->Recipients()->Add(QStringLiteral("zoe@example.test"));
        message->Send();
    }
    // The one message file of `folder`'s new/.
    [[nodiscard]] static QString onlyFileIn(const MaildirFolder& folder) {
        const auto entries = folder.entries();
        EXPECT_EQ(entries.size(), 1U);
        return entries.empty() ? QString() : folder.newEntryPath(entries.front());
    }
    [[nodiscard]] MaildirFolder sentItems() const { return m_session->store().folder(MailStore::sentItemsName()); }

    QString m_delivered;
    std::shared_ptr<RDOSession> m_session;
};

TEST_F(SentCopyTest, OnOneDiskTheDeliveredFileIsTheCopyAndOutlivesTheDelivery) {
    logOn(test::freshFolder(QStringLiteral("delivered")));
    send();
    const QString delivered = onlyFileIn(MaildirFolder(m_delivered));
    const QString copy = onlyFileIn(sentItems());
    const FileIdentity deliveredIdentity = identityOf(delivered);
    const FileIdentity copyIdentity = identityOf(copy);
    EXPECT_EQ(copyIdentity.device, deliveredIdentity.device);
    EXPECT_EQ(copyIdentity.inode, deliveredIdentity.inode) << "the bytes were written a second time";
    EXPECT_EQ(copyIdentity.links, 2U);
    const QByteArray bytes = sentItems().read(sentItems().entries().front());
    EXPECT_TRUE(bytes.contains("Subject: Spring news"));

    // The recipient's side deletes its message: the copy stays whole.
    MaildirFolder(m_delivered).remove(MaildirFolder(m_delivered).entries().front());
    EXPECT_EQ(sentItems().read(sentItems().entries().front()), bytes);
    EXPECT_EQ(identityOf(copy).links, 1U);
}

TEST_F(SentCopyTest, OnAnotherDiskTheCopyIsWrittenInstead) {
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/quillmark-sent-copy-XXXXXX"));
    if (!elsewhere.isValid() ||
        identityOf(elsewhere.path()).device == identityOf(test::freshFolder(QStringLiteral("here"))).device) {
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    }
    logOn(elsewhere.path() + QStringLiteral("/delivered"));
    send();
    const QString delivered = onlyFileIn(MaildirFolder(m_delivered));
    const QString copy = onlyFileIn(sentItems());
    EXPECT_NE(identityOf(copy).device, identityOf(delivered).device);
    EXPECT_EQ(identityOf(copy).links, 1U);
    QFile deliveredFile(delivered);
    ASSERT_TRUE(deliveredFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(sentItems().read(sentItems().entries().front()), deliveredFile.readAll());
}

} // namespace
} // namespace quillmark::mail
