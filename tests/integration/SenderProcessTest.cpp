// The sending process as a whole: started for real, steered through its command socket, read
// back through the settings store and the log.
#include "ipc/CommandClient.h"
#include "settings/SettingsStore.h"
#include "support/TestHome.h"
#include "support/TextFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace quillmark {
namespace {

const QString kApp = QStringLiteral("Tollmere - Local");
const QString kProduct = QStringLiteral("Quillmark");

class SenderProcessTest : public testing::Test {
protected:
    void SetUp() override {
        // Every test starts from the same stored values, also when the tests share one process.
        folder = test::testHome() + QStringLiteral("/sender/") +
                 QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name()) + QLatin1Char('/');
        QDir().mkpath(folder);
        store().save(kApp, kProduct, QStringLiteral("ExternalQuillmarkHwnd"), QStringLiteral("0"));
        store().save(kApp, kProduct, QStringLiteral("SendState"), QStringLiteral("Idle"));
        store().save(kApp, kProduct, QStringLiteral("RecipientIndex"), QStringLiteral("0"));
        deliveredBefore = deliveredCount();
        store().save(kApp, QStringLiteral("Tollmere"), QStringLiteral("AppDataFolder"), folder);
        store().save(kApp, QStringLiteral("Tollmere"), QStringLiteral("LogFileWanted"), QStringLiteral("1"));
    }

    void TearDown() override {
        for (auto& process : processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    static settings::SettingsStore& store() { return settings::SettingsStore::shared(); }

    static QString setting(const QString& key) {
        return store().find(kApp, kProduct, key).value_or(QStringLiteral("<missing>"));
    }

    void writeCampaign(int recipients) {
        QString xml = QStringLiteral("<campaign MessageClass=\"IPM.Note\">");
        for (int i = 0; i < recipients; ++i) {
            xml += QStringLiteral("<r address=\"r%1@example.com\"/>").arg(i);
        }
        write(QStringLiteral("Run.xml"), (xml + QStringLiteral("</campaign>")).toUtf8());
        write(QStringLiteral("Run.oft"), "Subject: Run\r\nContent-Type: text/plain\r\n\r\nHello\r\n");
        store().save(kApp, kProduct, QStringLiteral("DataFilePath"), folder + QStringLiteral("Run.xml"));
        store().save(kApp, kProduct, QStringLiteral("EmailWhenFinished"), QStringLiteral("0"));
    }

    void write(const QString& name, const QByteArray& bytes) {
        QFile file(folder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QProcess& startSender() {
        processes.push_back(std::make_unique<QProcess>());
        QProcess& process = *processes.back();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(test::senderPath(), {});
        EXPECT_TRUE(process.waitForStarted(5000));
        return process;
    }

    // Polls until `condition` holds; false when 10 seconds pass first.
    static bool eventually(const std::function<bool()>& condition) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            if (condition()) {
                return true;
            }
            QThread::msleep(20);
        }
        return false;
    }

    std::int32_t waitForWindow() {
        EXPECT_TRUE(eventually([] { return setting(QStringLiteral("ExternalQuillmarkHwnd")) != QStringLiteral("0"); }));
        return setting(QStringLiteral("ExternalQuillmarkHwnd")).toInt();
    }

    QStringList logTexts() const {
        QStringList texts;
        for (const QString& line : test::readCrLfLines(folder + QStringLiteral("TollmereLog.txt"))) {
            texts.append(test::fieldsOf(line).mid(2).join(QLatin1Char('\t')));
        }
        return texts;
    }

    // Messages delivered by the Local profile since the test began.
    int delivered() const { return deliveredCount() - deliveredBefore; }

    static int deliveredCount() {
        return static_cast<int>(QDir(test::testHome() + QStringLiteral("/data/tollmere/mail/Local/Delivered/new"))
                                    .entryList(QDir::Files)
                                    .size());
    }

    QString folder;
    int deliveredBefore = 0;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(SenderProcessTest, AnIdleStartWaitsAndASecondInstanceLeavesEverythingAlone) {
    QProcess& first = startSender();
    const std::int32_t handle = waitForWindow();
    EXPECT_NE(handle, 0);
    ASSERT_TRUE(eventually([this] { return logTexts().contains(QStringLiteral("QuillmarkExternal\tState: Idle")); }));

    store().save(kApp, kProduct, QStringLiteral("ExternalQuillmarkHwnd"), QStringLiteral("12345"));
    QProcess& second = startSender();
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second instance must end at once";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(setting(QStringLiteral("ExternalQuillmarkHwnd")), QStringLiteral("12345"))
        << "the second instance must not publish its window";
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(setting(QStringLiteral("SendState")), QStringLiteral("Idle")) << "the stored state is untouched";
}

TEST_F(SenderProcessTest, AStoredSendingStateResumesAtTheStoredIndex) {
    writeCampaign(4);
    store().save(kApp, kProduct, QStringLiteral("SendState"), QStringLiteral("Sending"));
    store().save(kApp, kProduct, QStringLiteral("RecipientIndex"), QStringLiteral("2"));
    QProcess& sender = startSender();
    ASSERT_TRUE(eventually([] { return setting(QStringLiteral("SendState")) == QStringLiteral("Completed"); }));
    EXPECT_EQ(setting(QStringLiteral("RecipientIndex")), QStringLiteral("-1"));
    EXPECT_EQ(delivered(), 2) << "only the recipients from the stored index on";
    const QStringList log = logTexts();
    const auto before = log.indexOf(QStringLiteral("QuillmarkExternal\tSetApplicationTimer being called"));
    const auto after = log.indexOf(QStringLiteral("QuillmarkExternal\tSetApplicationTimer called"));
    EXPECT_GE(before, 0);
    EXPECT_GT(after, before);
    EXPECT_EQ(sender.state(), QProcess::Running) << "a finished sender waits for OK";
}

TEST_F(SenderProcessTest, AStateWordInTheWrongCaseStartsNoTimer) {
    writeCampaign(2);
    store().save(kApp, kProduct, QStringLiteral("SendState"), QStringLiteral("sending"));
    startSender();
    (void)waitForWindow();
    ASSERT_TRUE(
        eventually([this] { return logTexts().contains(QStringLiteral("QuillmarkExternal\tState: sending")); }));
    QThread::msleep(500);
    EXPECT_EQ(delivered(), 0);
    EXPECT_FALSE(logTexts().contains(QStringLiteral("QuillmarkExternal\tSetApplicationTimer being called")));
}

TEST_F(SenderProcessTest, CommandsArriveThroughTheChannelAndSuspendEndsTheProcess) {
    writeCampaign(3);
    store().save(kApp, kProduct, QStringLiteral("SendState"), QStringLiteral("Paused"));
    store().save(kApp, kProduct, QStringLiteral("RecipientIndex"), QStringLiteral("1"));
    QProcess& sender = startSender();
    const std::int32_t handle = waitForWindow();

    EXPECT_EQ(ipc::sendCommand(handle, 1, QByteArrayLiteral("show")), 0);
    EXPECT_EQ(ipc::sendCommand(handle, 7, QByteArray()), 0);
    const QStringList log = logTexts();
    const QString received =
        QStringLiteral("Quillmark.CNotify.WindowProc\tReceived WM_COPYDATA for Hwnd: %1").arg(handle);
    EXPECT_EQ(log.count(received), 2);
    EXPECT_EQ(log.count(QStringLiteral("OutlookMessage\tShow cmd from Outlook")), 1);
    EXPECT_EQ(log.filter(QStringLiteral("OutlookMessage")).size(), 1) << "code 7 runs no command";

    // Resume sends the rest of the campaign; halt afterwards cancels the finished campaign's state.
    EXPECT_EQ(ipc::sendCommand(handle, 3, QByteArray()), 0);
    ASSERT_TRUE(eventually([] { return setting(QStringLiteral("SendState")) == QStringLiteral("Completed"); }));
    EXPECT_EQ(delivered(), 2);

    store().save(kApp, kProduct, QStringLiteral("RecipientIndex"), QStringLiteral("2"));
    try {
        (void)ipc::sendCommand(handle, 2, QByteArray());
    } catch (const std::exception&) {
        // The sender may end before its answer is read; what counts is the state it leaves.
    }
    ASSERT_TRUE(sender.waitForFinished(10000)) << "suspend ends the sender";
    EXPECT_EQ(setting(QStringLiteral("SendState")), QStringLiteral("Suspended"));
    EXPECT_EQ(setting(QStringLiteral("RecipientIndex")), QStringLiteral("2"));
    EXPECT_TRUE(logTexts().contains(QStringLiteral("OutlookMessage\tSuspend cmd from Outlook")));
}

} // namespace
} // namespace quillmark
