#include "mail/DeferredSync.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

TEST(DeferredSyncTest, FlushesEveryFolderNamedWithoutReportingProblems) {
    QTemporaryDir first;
    QTemporaryDir second;
    DeferredSync sync;
    for (int i = 0; i < 500; ++i) {
        sync.flushLater(QFile::encodeName(i % 2 == 0 ? first.path() : second.path()));
    }
    sync.wait();
    EXPECT_TRUE(sync.takeFailures().isEmpty());
    sync.wait(); // nothing new: returns at once
}

TEST(DeferredSyncTest, AFolderThatCannotBeFlushedIsReportedOnceWithItsPath) {
    DeferredSync sync;
    sync.flushLater("/no/such/folder");
    sync.flushLater("/no/such/folder");
    sync.wait();
    const QStringList failures = sync.takeFailures();
    ASSERT_EQ(failures.size(), 1) << failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(failures.front(),
              QStringLiteral("Cannot flush the mail folder \"/no/such/folder\" to disk: No such file or directory"));
    EXPECT_TRUE(sync.takeFailures().isEmpty());
}

TEST(DeferredSyncTest, EndingWithWorkPendingFinishesIt) {
    QTemporaryDir folder;
    for (int round = 0; round < 20; ++round) {
        DeferredSync sync;
        sync.flushLater(QFile::encodeName(folder.path()));
    } // each destructor flushes and joins; a lost wake-up would hang here
    SUCCEED();
}

} // namespace
} // namespace quillmark::mail
