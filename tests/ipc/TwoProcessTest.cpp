#include "IpcTestSupport.h"
#include "core/Error.h"
#include "ipc/CommandClient.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace quillmark::ipc {
namespace {

using namespace std::chrono_literals;

QString windowProcessPath() {
    return QStringLiteral(QUILLMARK_BINARY_DIR "/tests/ipc/ipc_window_process");
}

TEST(TwoProcessTest, CommandsReachTheWindowOfAnotherProcessUntilItEnds) {
    const WindowHandle handle = test::freshHandle() + 0x100000;
    QProcess window;
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(windowProcessPath(), {QString::number(handle)});
    ASSERT_TRUE(window.waitForStarted(5000));
    ASSERT_TRUE(window.waitForReadyRead(10000));
    const QString ready = QString::fromUtf8(window.readLine()).trimmed();
    ASSERT_TRUE(ready.startsWith(QStringLiteral("ready "))) << qPrintable(ready);

    EXPECT_EQ(sendCommand(handle, 1, "show", 5s), 1);
    EXPECT_EQ(sendCommand(handle, 7,
                          QByteArray("Gr\xc3\xbc\xc3\x9f"
                                     "e"),
                          5s),
              1);
    EXPECT_EQ(sendCommand(handle, 2, "suspend", 5s), 1) << "answered although the window closed";
    ASSERT_TRUE(window.waitForFinished(5000));
    EXPECT_EQ(window.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(window.exitCode(), 0);

    const QStringList lines =
        QString::fromUtf8(window.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("command 1 show"), QStringLiteral("command 7 Grüße"),
                                  QStringLiteral("command 2 suspend")}));
    try {
        (void)sendCommand(handle, 1, {}, 2s);
        FAIL() << "no error after the process ended";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().startsWith(QStringLiteral("No Quillmark sender is running")))
            << qPrintable(error.description());
    }
}

TEST(TwoProcessTest, ASecondProcessForTheSameWindowIsRefused) {
    const WindowHandle handle = test::freshHandle() + 0x100000;
    QProcess first;
    first.start(windowProcessPath(), {QString::number(handle)});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(first.waitForReadyRead(10000));
    QProcess second;
    second.start(windowProcessPath(), {QString::number(handle)});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardOutput()).contains(QStringLiteral("already listens")));
    EXPECT_EQ(sendCommand(handle, 2, {}, 5s), 1);
    EXPECT_TRUE(first.waitForFinished(5000));
}

} // namespace
} // namespace quillmark::ipc
