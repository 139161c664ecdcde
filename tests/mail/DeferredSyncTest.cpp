#include "mail/DeferredSync.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace quillmark::mail {
namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(DeferredSyncTest, FlushesAndClosesEveryFileHandedOverEvenBeyondItsQueue) {
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path());
    DeferredSync sync;
    std::vector<int> descriptors;
    for (std::size_t i = 0; i < 3 * DeferredSync::kMostPending; ++i) {
        const QByteArray file = path + "/m" + QByteArray::number(static_cast<qulonglong>(i));
        FileDescriptor fd(::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd.valid());
        ASSERT_EQ(::write(fd.get(), "x", 1), 1);
        descriptors.push_back(fd.get());
        sync.flushLater(std::move(fd), file, path);
    }
    sync.wait();
    EXPECT_TRUE(sync.takeFailures().isEmpty());
    // The last batch's descriptors are closed once wait() returns (earlier numbers may be reused).
    EXPECT_FALSE(isOpen(descriptors.back()));
}

TEST(DeferredSyncTest, FailuresAreReportedOnceWithTheirPaths) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    const FileDescriptor reading(pipeEnds[0]);
    DeferredSync sync;
    // A pipe cannot be flushed, and a folder that is gone cannot be opened.
    sync.flushLater(FileDescriptor(pipeEnds[1]), "/pipe/of/test", "/no/such/folder");
    sync.wait();
    const QStringList failures = sync.takeFailures();
    ASSERT_EQ(failures.size(), 2) << failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(failures[0].startsWith(QStringLiteral("Cannot flush the message file \"/pipe/of/test\": ")));
    EXPECT_TRUE(failures[1].startsWith(QStringLiteral("Cannot flush the mail folder \"/no/such/folder\": ")));
    EXPECT_TRUE(sync.takeFailures().isEmpty());
}

TEST(DeferredSyncTest, EndingWaitsForWhatIsStillPending) {
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path());
    int last = -1;
    {
        DeferredSync sync;
        for (int i = 0; i < 20; ++i) {
            const QByteArray file = path + "/m" + QByteArray::number(i);
            FileDescriptor fd(::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            ASSERT_TRUE(fd.valid());
            last = fd.get();
            sync.flushLater(std::move(fd), file, path);
        }
    }
    EXPECT_FALSE(isOpen(last));
}

} // namespace
} // namespace quillmark::mail
