// The close request: refused (the window only hides) while the stored state is "Sending";
// otherwise granted, with the unload step run once before the window goes away.
#include "app/frmMain.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace quillmark::app {
namespace {

using namespace std::chrono_literals;

class frmMainCloseTest : public testing::Test {
protected:
    void SetUp() override {
        // A profile of the test's own name: its store starts without a SendState key.
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        settings::setApplicationName(settings::applicationNameForProfile(
            QString::fromUtf8(info->test_suite_name()) + QLatin1Char('.') + QString::fromUtf8(info->name())));
        window->setUnloadStep([this] { ++unloads; });
        window->show();
        ASSERT_TRUE(window->isVisible());
    }
    void TearDown() override { settings::setApplicationName(QString()); }

    static void storeState(const QString& state) { settings::write(settings::keys::SendState, state); }

    // Runs `action` inside the application's event loop; true when the application then quit
    // by itself, false when it was still running `patience` later.
    static bool quitsAfter(const std::function<void()>& action, std::chrono::milliseconds patience) {
        bool stillRunning = false;
        QTimer::singleShot(0, qApp, action);
        QTimer deadline; // ends with this call, so it never fires into a later test
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [&stillRunning] {
            stillRunning = true;
            QCoreApplication::exit(1);
        });
        deadline.start(patience);
        (void)QApplication::exec();
        return !stillRunning;
    }

    std::unique_ptr<frmMain> window = std::make_unique<frmMain>();
    sending::ProgressWindow& progress = *window;
    int unloads = 0;
};

TEST_F(frmMainCloseTest, WhileSendingOnlyHides) {
    storeState(QStringLiteral("Sending"));
    bool closed = true;

    EXPECT_FALSE(quitsAfter([&] { closed = progress.requestClose(); }, 300ms)) << "the process keeps running";

    EXPECT_FALSE(closed);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(unloads, 0);
    // The add-in's show command brings it back.
    progress.showWindow();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(frmMainCloseTest, TheCloseBoxWhileSendingOnlyHides) {
    storeState(QStringLiteral("Sending"));
    ASSERT_NE(window->windowHandle(), nullptr);

    EXPECT_FALSE(window->windowHandle()->close());

    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(unloads, 0);
}

TEST_F(frmMainCloseTest, WhileSendingAHiddenWindowStaysHidden) {
    storeState(QStringLiteral("Sending"));
    window->hide();
    EXPECT_FALSE(progress.requestClose());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(unloads, 0);
}

TEST_F(frmMainCloseTest, WhenCompletedClosesAndUnloadsOnce) {
    storeState(QStringLiteral("Completed"));
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    bool closed = false;

    EXPECT_TRUE(quitsAfter([&] { closed = progress.requestClose(); }, 5s)) << "no window is left, so the process ends";

    EXPECT_TRUE(closed);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(unloads, 1);
    EXPECT_EQ(lastWindowClosed.count(), 1);
}

TEST_F(frmMainCloseTest, TheCloseBoxWhenIdleEndsTheProcess) {
    storeState(QStringLiteral("Idle"));
    EXPECT_TRUE(quitsAfter([&] { (void)window->windowHandle()->close(); }, 5s));
    EXPECT_EQ(unloads, 1);
}

TEST_F(frmMainCloseTest, TheUnloadStepRunsBeforeTheWindowGoesAway) {
    storeState(QStringLiteral("Completed"));
    bool visibleDuringUnload = false;
    window->setUnloadStep([&] { visibleDuringUnload = window->isVisible(); });
    EXPECT_TRUE(progress.requestClose());
    EXPECT_TRUE(visibleDuringUnload) << "it runs inside the granted close request";
}

TEST_F(frmMainCloseTest, ASecondCloseDoesNotUnloadAgain) {
    storeState(QStringLiteral("Cancelled"));
    EXPECT_TRUE(progress.requestClose());
    window->show();
    EXPECT_TRUE(progress.requestClose());
    EXPECT_EQ(unloads, 1);
}

TEST_F(frmMainCloseTest, TheStateIsReadAtEachRequest) {
    storeState(QStringLiteral("Sending"));
    EXPECT_FALSE(progress.requestClose());
    // Written meanwhile by a button, a command or the controller.
    storeState(QStringLiteral("Suspended"));
    EXPECT_TRUE(progress.requestClose());
    EXPECT_EQ(unloads, 1);
}

TEST_F(frmMainCloseTest, WithoutAStoredStateClosesAsIdle) {
    EXPECT_TRUE(progress.requestClose());
    EXPECT_EQ(unloads, 1);
}

class frmMainCloseStateTest : public frmMainCloseTest, public testing::WithParamInterface<const char*> {};

TEST_P(frmMainCloseStateTest, AnyStateButSendingGrantsTheClose) {
    storeState(QString::fromUtf8(GetParam()));
    EXPECT_TRUE(progress.requestClose());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(unloads, 1);
}

INSTANTIATE_TEST_SUITE_P(frmMainStates, frmMainCloseStateTest,
                         testing::Values("Idle", "Paused", "Suspended", "Cancelled", "Completed", "sending", "Sending ",
                                         ""),
                         [](const testing::TestParamInfo<const char*>& row) {
                             std::string name;
                             for (const char* c = row.param; *c != '\0'; ++c) {
                                 name += *c == ' ' ? std::string("Space") : std::string(1, *c);
                             }
                             return name.empty() ? std::string("Empty") : name;
                         });

} // namespace
} // namespace quillmark::app
