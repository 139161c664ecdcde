#include "mail/MaildirFolder.h"

#include "core/Error.h"
#include "mail/DeferredSync.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace quillmark::mail {
namespace {

class MaildirFolderTest : public testing::Test {
protected:
    QTemporaryDir m_root;
    QString m_path = m_root.path() + QStringLiteral("/Outbox");
    MaildirFolder m_folder{m_path};

    [[nodiscard]] QStringList filesIn(const QString& sub) const {
        return QDir(m_path + QLatin1Char('/') + sub).entryList(QDir::Files | QDir::Hidden);
    }
};

TEST_F(MaildirFolderTest, AMissingFolderHasNoEntries) {
    EXPECT_TRUE(m_folder.entries().empty());
    EXPECT_TRUE(m_folder.isEmpty());
    EXPECT_FALSE(QDir(m_path).exists());
}

TEST_F(MaildirFolderTest, IsEmptyFollowsTheMessagesInNewAndCur) {
    const QString entry = m_folder.add(QByteArray("one"));
    EXPECT_FALSE(m_folder.isEmpty());
    ASSERT_TRUE(QDir().rename(m_path + QStringLiteral("/new/") + entry, m_path + QStringLiteral("/cur/") + entry));
    EXPECT_FALSE(m_folder.isEmpty());
    m_folder.remove(entry);
    EXPECT_TRUE(m_folder.isEmpty());
}

TEST_F(MaildirFolderTest, AddCreatesTheFolderAndReadGivesTheBytesBack) {
    const QByteArray message("Subject: Hello\r\n\r\nBody\r\n");
    const QString entry = m_folder.add(message);

    for (const char* sub : {"tmp", "new", "cur"}) {
        EXPECT_TRUE(QDir(m_path + QLatin1Char('/') + QLatin1String(sub)).exists()) << sub;
    }
    EXPECT_EQ(m_folder.read(entry), message);
    ASSERT_EQ(m_folder.entries().size(), 1U);
    EXPECT_EQ(m_folder.entries().front(), entry);
}

TEST_F(MaildirFolderTest, AnAddedMessageIsInNewAndNothingIsLeftInTmp) {
    const QString entry = m_folder.add(QByteArray("x"));
    EXPECT_EQ(filesIn(QStringLiteral("new")), QStringList{entry});
    EXPECT_TRUE(filesIn(QStringLiteral("tmp")).isEmpty());
}

TEST_F(MaildirFolderTest, EntryNamesFollowTheMaildirShapeAndAvoidReservedCharacters) {
    const QString entry = m_folder.add(QByteArray("x"));
    EXPECT_FALSE(entry.contains(QLatin1Char('/')));
    EXPECT_FALSE(entry.contains(QLatin1Char(':')));
    EXPECT_GE(entry.count(QLatin1Char('.')), 2);
}

TEST_F(MaildirFolderTest, RapidAddsGetUniqueNamesAndComeBackOldestFirst) {
    constexpr int count = 200;
    std::vector<QString> added;
    for (int i = 0; i < count; ++i) {
        added.push_back(m_folder.add(QByteArray::number(i)));
    }
    const std::set<QString> unique(added.begin(), added.end());
    EXPECT_EQ(unique.size(), added.size());

    const std::vector<QString> listed = m_folder.entries();
    ASSERT_EQ(listed, added);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(m_folder.read(listed[static_cast<size_t>(i)]), QByteArray::number(i));
    }
}

TEST_F(MaildirFolderTest, EntriesIncludeMessagesThatAReaderMovedToCur) {
    const QString first = m_folder.add(QByteArray("first"));
    const QString second = m_folder.add(QByteArray("second"));
    const QString seen = first + QStringLiteral(":2,S");
    ASSERT_TRUE(QFile::rename(m_path + QStringLiteral("/new/") + first, m_path + QStringLiteral("/cur/") + seen));

    EXPECT_EQ(m_folder.entries(), (std::vector<QString>{seen, second}));
    EXPECT_EQ(m_folder.read(seen), QByteArray("first"));
    m_folder.remove(seen);
    EXPECT_EQ(m_folder.entries(), std::vector<QString>{second});
}

TEST_F(MaildirFolderTest, RemoveTakesOnlyThatEntry) {
    const QString first = m_folder.add(QByteArray("first"));
    const QString second = m_folder.add(QByteArray("second"));
    m_folder.remove(first);
    EXPECT_EQ(m_folder.entries(), std::vector<QString>{second});
    EXPECT_EQ(m_folder.read(second), QByteArray("second"));
}

TEST_F(MaildirFolderTest, AnEmptyMessageIsStoredToo) {
    const QString entry = m_folder.add(QByteArray());
    EXPECT_TRUE(m_folder.read(entry).isEmpty());
}

// Entry names that do not exist, or that try to reach outside the folder.
class MaildirMissingEntryTest : public MaildirFolderTest, public testing::WithParamInterface<const char*> {};

TEST_P(MaildirMissingEntryTest, ReadAndRemoveFailWithTheFolderAndEntryNamed) {
    (void)m_folder.add(QByteArray("present"));
    QFile outside(m_root.path() + QStringLiteral("/secret"));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.write("secret");
    outside.close();

    const QString entry = QString::fromUtf8(GetParam());
    try {
        (void)m_folder.read(entry);
        ADD_FAILURE() << "read of a missing entry succeeded";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(m_path)) << qPrintable(error.description());
    }
    EXPECT_THROW(m_folder.remove(entry), core::Error);
    EXPECT_TRUE(QFile::exists(outside.fileName()));
    EXPECT_EQ(m_folder.entries().size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Names, MaildirMissingEntryTest,
                         testing::Values("1700000000.M000001P1Q1Rab.host", "", ".", "..", "../secret", "../../secret",
                                         "new", "tmp/x"));

TEST_F(MaildirFolderTest, SubFoldersRemovedBetweenAddsAreMadeAgain) {
    (void)m_folder.add(QByteArray("first"));
    ASSERT_TRUE(QDir(m_path).removeRecursively());
    const QString second = m_folder.add(QByteArray("second"));
    EXPECT_EQ(m_folder.read(second), QByteArray("second"));

    ASSERT_TRUE(QDir(m_path + QStringLiteral("/new")).removeRecursively()); // tmp/ stays
    const QString third = m_folder.add(QByteArray("third"));
    EXPECT_EQ(m_folder.read(third), QByteArray("third"));
    EXPECT_TRUE(filesIn(QStringLiteral("tmp")).isEmpty());
}

TEST_F(MaildirFolderTest, ADeferredFlushStillShowsTheMessageAtOnce) {
    DeferredSync sync;
    const QString entry = m_folder.add(QByteArray("copy"), sync);
    EXPECT_EQ(m_folder.read(entry), QByteArray("copy"));
    EXPECT_EQ(filesIn(QStringLiteral("new")), QStringList{entry});
    EXPECT_TRUE(filesIn(QStringLiteral("tmp")).isEmpty());
    sync.wait();
    EXPECT_TRUE(sync.takeFailures().isEmpty());
}

TEST_F(MaildirFolderTest, ALinkedFileGetsAnEntryOfItsOwnOrNothingWhenItIsGone) {
    const QString stored = m_root.path() + QStringLiteral("/stored.eml");
    QFile file(stored);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("delivered") == 9);
    file.close();
    DeferredSync sync;
    const auto entry = m_folder.addLinkTo(stored, sync); // the folder does not exist yet
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(m_folder.read(*entry), QByteArray("delivered"));
    EXPECT_EQ(m_folder.newEntryPath(*entry), m_path + QStringLiteral("/new/") + *entry);

    ASSERT_TRUE(QFile::remove(stored));
    EXPECT_FALSE(m_folder.addLinkTo(stored, sync).has_value());
    EXPECT_EQ(m_folder.entries(), std::vector<QString>{*entry});
    sync.wait();
    EXPECT_TRUE(sync.takeFailures().isEmpty());
}

TEST_F(MaildirFolderTest, RemovingTwiceFails) {
    const QString entry = m_folder.add(QByteArray("once"));
    m_folder.remove(entry);
    EXPECT_THROW(m_folder.remove(entry), core::Error);
}

TEST_F(MaildirFolderTest, AFolderThatCannotBeCreatedFailsWithItsPath) {
    QFile blocker(m_root.path() + QStringLiteral("/blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MaildirFolder folder(blocker.fileName() + QStringLiteral("/Outbox"));
    try {
        (void)folder.add(QByteArray("x"));
        ADD_FAILURE() << "a message was stored below a plain file";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(blocker.fileName())) << qPrintable(error.description());
    }
}

} // namespace
} // namespace quillmark::mail
