// The sender's window as the process runs it: started by Form_Load from the stored send state,
// steered by its four buttons, ticking a real campaign through a Maildir transport on the
// offscreen platform's event loop.
#include "app/SenderWindow.h"

#include "app/SingleInstance.h"
#include "campaign/CState.h"
#include "ipc/CommandSocketPath.h"
#include "sending/ApplicationTimer.h"
#include "sending/ProgressWindow.h"
#include "sending/Submission.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsStore.h"
#include "support/MailProfileWriter.h"
#include "support/TestHome.h"
#include "support/TextFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>

namespace quillmark::app {
namespace {

using namespace std::chrono_literals;

const QString kProduct = QStringLiteral("Quillmark");
const QString kMaker = QStringLiteral("Tollmere");

// How a run of the application's event loop ended.
enum class LoopEnd {
    QuitByItself, // the window unloaded and the application left its loop
    ConditionMet,
    TimedOut,
};

// Each test logs on to a mail profile of its own, so its settings start empty; the profile
// delivers into a Maildir folder of the test's own.
class SenderWindowTest : public testing::Test {
protected:
    void SetUp() override {
        static int count = 0;
        profile = QStringLiteral("Window%1").arg(++count);
        application = settings::applicationNameForProfile(profile);
        folder = test::testHome() + QStringLiteral("/window/") + profile + QLatin1Char('/');
        ASSERT_TRUE(QDir().mkpath(folder));
        test::writeMailProfile(profile, folder + QStringLiteral("store"),
                               QStringLiteral("maildir:") + folder + QStringLiteral("delivered"));
        store().save(kMaker, kMaker, QStringLiteral("CurrentProfile"), QString());
        store().save(application, kMaker, QStringLiteral("AppDataFolder"), folder);
        store().save(application, kMaker, QStringLiteral("LogFileWanted"), QStringLiteral("1"));
        // Start-up applies the stored priority to the whole process: keep the test process's own.
        save("EXEPriorityName", QStringLiteral("Normal"));
    }

    void TearDown() override {
        sender.reset();
        sending::KillApplicationTimer();
        sending::setTimerWindow(nullptr);
        sending::resetSendCounter();
        campaign::CState::shared().reset();
        settings::setApplicationName(QString());
        for (const QString& text : logTexts()) {
            EXPECT_FALSE(text.contains(QStringLiteral("Error occurred"))) << qPrintable(text);
        }
    }

    // The text field of every line of this test's log.
    [[nodiscard]] QStringList logTexts() const {
        QStringList texts;
        for (const QString& line : test::readCrLfLines(folder + QStringLiteral("TollmereLog.txt"))) {
            texts.append(test::fieldsOf(line).mid(3).join(QLatin1Char('\t')));
        }
        return texts;
    }

    static settings::SettingsStore& store() { return settings::SettingsStore::shared(); }
    void save(const char* key, const QString& value) const {
        store().save(application, kProduct, QLatin1String(key), value);
    }
    [[nodiscard]] std::optional<QString> stored(const char* key) const {
        return store().find(application, kProduct, QLatin1String(key));
    }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
        file.write(bytes);
    }

    // A campaign of `recipients` addresses, one every `delaySeconds`, that sends no e-mail to the
    // user at the end, starting at its first recipient.
    void writeCampaign(int recipients, int delaySeconds) {
        QByteArray xml = "<campaign MessageClass=\"IPM.Note\">\n";
        for (int i = 0; i < recipients; ++i) {
            xml += QStringLiteral("  <recipient address=\"reader%1@example.com\"/>\n").arg(i).toUtf8();
        }
        writeFile(folder + QStringLiteral("Spring.xml"), xml + "</campaign>\n");
        writeFile(folder + QStringLiteral("Spring.oft"), "From: Ann Sender <ann.sender@example.com>\r\n"
                                                         "Subject: Spring news\r\n"
                                                         "Content-Type: text/plain; charset=utf-8\r\n"
                                                         "\r\n"
                                                         "Spring has come to the shop.\r\n");
        save("DataFilePath", folder + QStringLiteral("Spring.xml"));
        save("SendMessageEveryNSeconds", QString::number(delaySeconds));
        save("EmailWhenFinished", QStringLiteral("0"));
        save("RecipientIndex", QStringLiteral("0"));
    }

    [[nodiscard]] int delivered() const {
        const QString maildir = folder + QStringLiteral("delivered/");
        return static_cast<int>(QDir(maildir + QStringLiteral("new")).entryList(QDir::Files).size() +
                                QDir(maildir + QStringLiteral("cur")).entryList(QDir::Files).size());
    }

    // The process's start: the window, then its start-up sequence (the window is not shown yet).
    void startWith(const std::optional<QString>& state) {
        if (state) {
            save("SendState", *state);
        }
        sender = std::make_unique<SenderWindow>([this] { ++processEnds; });
        sender->Form_Load();
        ASSERT_EQ(processEnds, 0) << "start-up ended the process";
    }

    [[nodiscard]] frmMain& window() const { return sender->window(); }
    [[nodiscard]] sending::ProgressWindow* progressWindow() const { return &sender->window(); }
    [[nodiscard]] QString label(const char* name) const {
        const auto* found = window().findChild<QLabel*>(QLatin1String(name));
        return found == nullptr ? QStringLiteral("<no label>") : found->text();
    }
    [[nodiscard]] QPushButton* button(const char* name) const {
        return window().findChild<QPushButton*>(QLatin1String(name));
    }
    [[nodiscard]] bool enabled(const char* name) const { return button(name)->isEnabled(); }
    [[nodiscard]] QProgressBar* bar() const {
        return window().findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    [[nodiscard]] static bool timerPending() { return sending::applicationTimerId() != 0; }

    // Runs `action` inside the application's own event loop, then keeps the loop running until
    // the application quits by itself, `condition` holds, or `limit` passes.
    static LoopEnd runLoop(const std::function<void()>& action, const std::function<bool()>& condition,
                           std::chrono::milliseconds limit) {
        QTimer start;
        start.setSingleShot(true);
        QObject::connect(&start, &QTimer::timeout, qApp, action);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, qApp, [&condition] {
            if (condition()) {
                QCoreApplication::exit(2);
            }
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        start.start(0);
        poll.start(10);
        watchdog.start(limit);
        switch (QApplication::exec()) {
        case 0:
            return LoopEnd::QuitByItself;
        case 2:
            return LoopEnd::ConditionMet;
        default:
            return LoopEnd::TimedOut;
        }
    }

    QString profile;
    QString application;
    QString folder;
    std::unique_ptr<SenderWindow> sender;
    int processEnds = 0;
};

// --- start-up from each stored state ---

struct StartRow {
    const char* name;
    std::optional<const char*> stored; // nothing: the key is missing
    const char* progressCaption;
    bool cancel;
    bool pause;
    bool resume;
    bool ticking;
};

void PrintTo(const StartRow& row, std::ostream* out) {
    *out << row.name;
}

class SenderWindowStartTest : public SenderWindowTest, public testing::WithParamInterface<StartRow> {};

TEST_P(SenderWindowStartTest, ShowsTheStoredStateAndTicksOnlyWhenSending) {
    const StartRow& row = GetParam();
    startWith(row.stored ? std::optional<QString>(QString::fromUtf8(*row.stored)) : std::nullopt);

    EXPECT_EQ(label("lblProgressValue"), QString::fromUtf8(row.progressCaption));
    EXPECT_EQ(label("lblCampaignValue"), QString()) << "the campaign is loaded by the first tick";
    EXPECT_EQ(label("lblEmailingValue"), QString());
    EXPECT_EQ(enabled("cmdCancel"), row.cancel);
    EXPECT_EQ(enabled("cmdPause"), row.pause);
    EXPECT_EQ(enabled("cmdResume"), row.resume);
    EXPECT_TRUE(enabled("cmdOK"));
    EXPECT_EQ(timerPending(), row.ticking);
    EXPECT_EQ(sending::timerWindow(), row.ticking ? progressWindow() : nullptr);
    EXPECT_FALSE(window().isVisible()) << "the process shows the window after start-up";

    // Start-up reads the state and leaves it as it was.
    const std::optional<QString> after = stored("SendState");
    ASSERT_EQ(after.has_value(), row.stored.has_value());
    if (row.stored) {
        EXPECT_EQ(*after, QString::fromUtf8(*row.stored));
    }
}

INSTANTIATE_TEST_SUITE_P(StoredStates, SenderWindowStartTest,
                         testing::Values(StartRow{"Sending", "Sending", "Sending", true, true, false, true},
                                         StartRow{"Paused", "Paused", "Paused", true, false, true, false},
                                         StartRow{"Suspended", "Suspended", "Suspended", true, false, true, false},
                                         StartRow{"Cancelled", "Cancelled", "Cancelled", false, false, false, false},
                                         StartRow{"Completed", "Completed", "Completed", false, false, false, false},
                                         StartRow{"Idle", "Idle", "Idle", false, false, false, false},
                                         StartRow{"Missing", std::nullopt, "Idle", false, false, false, false},
                                         // State words are compared exactly: no row of the table applies.
                                         StartRow{"LowerCaseSending", "sending", "sending", true, true, true, false}),
                         [](const testing::TestParamInfo<StartRow>& row) { return std::string(row.param.name); });

TEST_F(SenderWindowTest, StartUpPublishesTheWindowAndListensForCommands) {
    startWith(QStringLiteral("Idle"));
    const std::int32_t handle = sender->handle();
    EXPECT_NE(handle, 0);
    EXPECT_EQ(stored("ExternalQuillmarkHwnd"), QString::number(handle));
    EXPECT_EQ(ipc::pathKind(ipc::commandSocketPath(handle)), ipc::PathKind::Socket);
    SingleInstance second;
    EXPECT_FALSE(second.acquire()) << "a second sender would be refused";
    EXPECT_TRUE(logTexts().contains(QStringLiteral("State: Idle"))) << qPrintable(logTexts().join(u'\n'));
}

// --- the buttons ---

TEST_F(SenderWindowTest, PauseResumeAndCancelWhileSending) {
    startWith(QStringLiteral("Sending"));
    save("RecipientIndex", QStringLiteral("3"));

    click("cmdPause");
    EXPECT_EQ(stored("SendState"), QStringLiteral("Paused"));
    EXPECT_FALSE(timerPending());
    EXPECT_EQ(label("lblProgressValue"), QStringLiteral("Paused"));
    EXPECT_TRUE(enabled("cmdCancel"));
    EXPECT_FALSE(enabled("cmdPause"));
    EXPECT_TRUE(enabled("cmdResume"));
    EXPECT_EQ(stored("RecipientIndex"), QStringLiteral("3")) << "pausing keeps the place";

    click("cmdResume");
    EXPECT_EQ(stored("SendState"), QStringLiteral("Sending"));
    EXPECT_TRUE(timerPending());
    EXPECT_EQ(label("lblProgressValue"), QStringLiteral("Sending"));
    EXPECT_TRUE(enabled("cmdPause"));
    EXPECT_FALSE(enabled("cmdResume"));
    EXPECT_EQ(stored("RecipientIndex"), QStringLiteral("3"));

    click("cmdCancel");
    EXPECT_EQ(stored("SendState"), QStringLiteral("Cancelled"));
    EXPECT_EQ(stored("RecipientIndex"), QStringLiteral("-1")) << "a cancelled campaign has no next recipient";
    EXPECT_FALSE(timerPending());
    EXPECT_EQ(label("lblProgressValue"), QStringLiteral("Cancelled"));
    EXPECT_FALSE(enabled("cmdPause"));
    EXPECT_FALSE(enabled("cmdResume"));
    EXPECT_EQ(processEnds, 0);
}

TEST_F(SenderWindowTest, ResumeAfterAPausedStartStartsTicking) {
    startWith(QStringLiteral("Paused"));
    ASSERT_FALSE(timerPending());
    ASSERT_EQ(sending::timerWindow(), nullptr);

    click("cmdResume");

    EXPECT_EQ(stored("SendState"), QStringLiteral("Sending"));
    EXPECT_TRUE(timerPending());
    EXPECT_EQ(sending::timerWindow(), progressWindow()) << "the ticks write to this window";
    EXPECT_EQ(label("lblProgressValue"), QStringLiteral("Sending"));
    EXPECT_TRUE(enabled("cmdPause"));
    EXPECT_FALSE(enabled("cmdResume"));
}

TEST_F(SenderWindowTest, OkWhileSendingOnlyHidesAndTheCampaignGoesOn) {
    writeCampaign(2, 60);
    startWith(QStringLiteral("Sending"));
    window().show();

    const LoopEnd end = runLoop([this] { click("cmdOK"); }, [this] { return delivered() == 1; }, 10s);

    EXPECT_EQ(end, LoopEnd::ConditionMet) << "the first recipient is sent while the window is hidden";
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(processEnds, 0);
    EXPECT_EQ(stored("SendState"), QStringLiteral("Sending"));
    EXPECT_EQ(stored("RecipientIndex"), QStringLiteral("1"));
    EXPECT_TRUE(timerPending()) << "waiting the campaign's delay for the next recipient";
    EXPECT_EQ(label("lblCampaignValue"), QStringLiteral("Spring news"));
    EXPECT_EQ(ipc::pathKind(ipc::commandSocketPath(sender->handle())), ipc::PathKind::Socket)
        << "still listening for the controller's show command";
}

TEST_F(SenderWindowTest, OkAfterCancelClosesTheWindowAndLeavesTheEventLoop) {
    startWith(QStringLiteral("Sending"));
    window().show();
    click("cmdCancel");
    const QString socket = ipc::commandSocketPath(sender->handle());

    const LoopEnd end = runLoop([this] { click("cmdOK"); }, [] { return false; }, 5s);

    EXPECT_EQ(end, LoopEnd::QuitByItself);
    EXPECT_EQ(processEnds, 0) << "the window closed; nothing ended the process at once";
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(sending::timerWindow(), nullptr);
    EXPECT_EQ(campaign::CState::shared(), nullptr);
    EXPECT_EQ(ipc::pathKind(socket), ipc::PathKind::Missing) << "the command socket is gone";
    SingleInstance next;
    EXPECT_TRUE(next.acquire()) << "the next sender may start";
    EXPECT_EQ(stored("SendState"), QStringLiteral("Cancelled"));
}

// OK with the window never handed to the ticks (the state was read as finished at start-up).
struct OkRow {
    const char* name;
    const char* stored;
    bool ends;
};

void PrintTo(const OkRow& row, std::ostream* out) {
    *out << row.name;
}

class SenderWindowOkTest : public SenderWindowTest, public testing::WithParamInterface<OkRow> {};

TEST_P(SenderWindowOkTest, EndsAtOnceOnlyWhenFinished) {
    const OkRow& row = GetParam();
    startWith(QString::fromUtf8(row.stored));
    window().show();

    click("cmdOK");

    EXPECT_EQ(processEnds, row.ends ? 1 : 0);
    EXPECT_EQ(window().isVisible(), row.ends) << "a process that goes on only hides its window";
    EXPECT_EQ(stored("SendState"), QString::fromUtf8(row.stored));
}

INSTANTIATE_TEST_SUITE_P(StoredStates, SenderWindowOkTest,
                         testing::Values(OkRow{"Completed", "Completed", true}, OkRow{"Cancelled", "Cancelled", true},
                                         OkRow{"Idle", "Idle", false}, OkRow{"Paused", "Paused", false},
                                         OkRow{"LowerCaseCompleted", "completed", false}),
                         [](const testing::TestParamInfo<OkRow>& row) { return std::string(row.param.name); });

// --- completion ---

TEST_F(SenderWindowTest, CompletionShowsTheHiddenWindowAndFillsTheBar) {
    writeCampaign(1, 0);
    startWith(QStringLiteral("Sending"));
    ASSERT_FALSE(window().isVisible());

    const LoopEnd end = runLoop([] {}, [this] { return window().isVisible(); }, 10s);

    ASSERT_EQ(end, LoopEnd::ConditionMet) << "the window was not shown";
    EXPECT_EQ(delivered(), 1);
    EXPECT_EQ(stored("SendState"), QStringLiteral("Completed"));
    EXPECT_EQ(stored("RecipientIndex"), QStringLiteral("-1"));
    EXPECT_FALSE(timerPending());
    EXPECT_GT(bar()->maximum(), bar()->minimum());
    EXPECT_EQ(bar()->value(), bar()->maximum()) << "a full bar";
    EXPECT_TRUE(label("lblProgressValue").startsWith(QStringLiteral("Finished sending at ")))
        << qPrintable(label("lblProgressValue"));
    EXPECT_EQ(label("lblEmailingValue"), QString());
    EXPECT_EQ(label("lblCampaignValue"), QStringLiteral("Spring news"));
    EXPECT_FALSE(enabled("cmdCancel"));
    EXPECT_FALSE(enabled("cmdPause"));
    EXPECT_FALSE(enabled("cmdResume"));
    EXPECT_TRUE(enabled("cmdOK"));

    // The user acknowledges: the window unloads and the process leaves its event loop.
    EXPECT_EQ(runLoop([this] { click("cmdOK"); }, [] { return false; }, 5s), LoopEnd::QuitByItself);
    EXPECT_EQ(processEnds, 0);
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(stored("SendState"), QStringLiteral("Completed"));
}

} // namespace
} // namespace quillmark::app
