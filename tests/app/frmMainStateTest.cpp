// What the rest of the process writes into the window, the start-up button states, and the
// four buttons' clicks reaching their handlers.
#include "app/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

namespace quillmark::app {
namespace {

class frmMainTest : public testing::Test {
protected:
    [[nodiscard]] QLabel* label(const char* name) const { return window->findChild<QLabel*>(QLatin1String(name)); }
    [[nodiscard]] QPushButton* button(const char* name) const {
        return window->findChild<QPushButton*>(QLatin1String(name));
    }
    [[nodiscard]] QProgressBar* bar() const { return window->findChild<QProgressBar*>(QStringLiteral("ProgressBar1")); }

    std::unique_ptr<frmMain> window = std::make_unique<frmMain>();
    // The campaign loop only ever sees the interface.
    sending::ProgressWindow& progress = *window;
};

// --- start-up button states ---

struct StartupRow {
    const char* testName;
    const char* state;
    bool cancel;
    bool pause;
    bool resume;
};

void PrintTo(const StartupRow& row, std::ostream* out) {
    *out << '"' << row.state << '"';
}

class frmMainStartupTest : public frmMainTest, public testing::WithParamInterface<StartupRow> {};

TEST_P(frmMainStartupTest, EnablesAllThenAppliesTheStateTable) {
    const StartupRow& row = GetParam();
    // Start from the opposite of every expected state, to see each button set both ways.
    button("cmdCancel")->setEnabled(!row.cancel);
    button("cmdPause")->setEnabled(!row.pause);
    button("cmdResume")->setEnabled(!row.resume);

    window->applyStartupButtonStates(QString::fromUtf8(row.state));

    EXPECT_EQ(button("cmdCancel")->isEnabled(), row.cancel);
    EXPECT_EQ(button("cmdPause")->isEnabled(), row.pause);
    EXPECT_EQ(button("cmdResume")->isEnabled(), row.resume);
    EXPECT_TRUE(button("cmdOK")->isEnabled());
}

TEST_P(frmMainStartupTest, NeverTouchesOk) {
    button("cmdOK")->setEnabled(false);
    window->applyStartupButtonStates(QString::fromUtf8(GetParam().state));
    EXPECT_FALSE(button("cmdOK")->isEnabled()) << "OK is left as it was";
}

INSTANTIATE_TEST_SUITE_P(frmMainStates, frmMainStartupTest,
                         testing::Values(StartupRow{"Cancelled", "Cancelled", false, false, false},
                                         StartupRow{"Completed", "Completed", false, false, false},
                                         StartupRow{"Idle", "Idle", false, false, false},
                                         StartupRow{"Paused", "Paused", true, false, true},
                                         StartupRow{"Sending", "Sending", true, true, false},
                                         StartupRow{"Suspended", "Suspended", true, false, true},
                                         StartupRow{"LowerCaseSending", "sending", true, true, true},
                                         StartupRow{"Empty", "", true, true, true},
                                         StartupRow{"TrailingSpace", "Paused ", true, true, true},
                                         StartupRow{"Unknown", "Halted", true, true, true}),
                         [](const testing::TestParamInfo<StartupRow>& row) { return std::string(row.param.testName); });

// --- writes through the ProgressWindow interface ---

TEST_F(frmMainTest, CaptionWritesReplaceTheWholeCaption) {
    progress.setCampaignCaption(QStringLiteral("Spring newsletter"));
    progress.setEmailingCaption(QStringLiteral("ann@example.com"));
    progress.setProgressCaption(QStringLiteral("Sending"));
    EXPECT_EQ(label("lblCampaignValue")->text(), QStringLiteral("Spring newsletter"));
    EXPECT_EQ(label("lblEmailingValue")->text(), QStringLiteral("ann@example.com"));
    EXPECT_EQ(label("lblProgressValue")->text(), QStringLiteral("Sending"));

    progress.setEmailingCaption(QString());
    progress.setProgressCaption(QStringLiteral("Finished sending at 08/12/2025 17:45:02"));
    EXPECT_EQ(label("lblEmailingValue")->text(), QString());
    EXPECT_EQ(label("lblProgressValue")->text(), QStringLiteral("Finished sending at 08/12/2025 17:45:02"));
    EXPECT_EQ(label("lblCampaign")->text(), QStringLiteral("Campaign:")) << "the fixed captions stay";
}

TEST_F(frmMainTest, CaptionsAreShownAsPlainText) {
    progress.setCampaignCaption(QStringLiteral("<b>Sale</b> & more"));
    EXPECT_EQ(label("lblCampaignValue")->text(), QStringLiteral("<b>Sale</b> & more"));
    EXPECT_EQ(label("lblCampaignValue")->textFormat(), Qt::PlainText);
}

TEST_F(frmMainTest, ProgressRangeAndPositionReachTheBar) {
    // The order the tick writes them in.
    progress.setProgressMaximum(2);
    progress.setProgressMinimum(0);
    progress.setProgressValue(1);
    EXPECT_EQ(bar()->maximum(), 2);
    EXPECT_EQ(bar()->minimum(), 0);
    EXPECT_EQ(bar()->value(), 1);
    EXPECT_EQ(progress.progressMaximum(), 2);

    // Completion fills the bar.
    progress.setProgressValue(progress.progressMaximum());
    EXPECT_EQ(bar()->value(), 2);
}

TEST_F(frmMainTest, ProgressMaximumReadsBackWhatWasWritten) {
    progress.setProgressMaximum(41);
    EXPECT_EQ(progress.progressMaximum(), 41);
    progress.setProgressMaximum(1);
    EXPECT_EQ(progress.progressMaximum(), 1);
}

TEST_F(frmMainTest, ButtonStateWritesReachTheButtons) {
    progress.setCancelEnabled(false);
    progress.setPauseEnabled(false);
    progress.setResumeEnabled(true);
    EXPECT_FALSE(button("cmdCancel")->isEnabled());
    EXPECT_FALSE(button("cmdPause")->isEnabled());
    EXPECT_TRUE(button("cmdResume")->isEnabled());
    progress.setCancelEnabled(true);
    progress.setPauseEnabled(true);
    progress.setResumeEnabled(false);
    EXPECT_TRUE(button("cmdCancel")->isEnabled());
    EXPECT_TRUE(button("cmdPause")->isEnabled());
    EXPECT_FALSE(button("cmdResume")->isEnabled());
    EXPECT_TRUE(button("cmdOK")->isEnabled());
}

TEST_F(frmMainTest, ShowWindowShowsAHiddenWindow) {
    EXPECT_FALSE(window->isVisible());
    progress.showWindow();
    EXPECT_TRUE(window->isVisible());
    window->hide();
    progress.showWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
}

// --- the buttons ---

struct Clicks {
    int cancel = 0;
    int pause = 0;
    int resume = 0;
    int ok = 0;
};

class frmMainClickTest : public frmMainTest {
protected:
    void SetUp() override {
        window->setClickHandlers({[this] { ++clicks.cancel; }, [this] { ++clicks.pause; }, [this] { ++clicks.resume; },
                                  [this] { ++clicks.ok; }});
    }
    void showActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    Clicks clicks;
};

TEST_F(frmMainClickTest, EachButtonRunsItsOwnHandler) {
    QTest::mouseClick(button("cmdCancel"), Qt::LeftButton);
    EXPECT_EQ(clicks.cancel, 1);
    QTest::mouseClick(button("cmdPause"), Qt::LeftButton);
    EXPECT_EQ(clicks.pause, 1);
    QTest::mouseClick(button("cmdResume"), Qt::LeftButton);
    EXPECT_EQ(clicks.resume, 1);
    QTest::mouseClick(button("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(clicks.ok, 1);
    EXPECT_EQ(clicks.cancel + clicks.pause + clicks.resume, 3);
}

TEST_F(frmMainClickTest, ADisabledButtonIgnoresTheUserButNotTheHandlerCall) {
    progress.setResumeEnabled(false);
    QTest::mouseClick(button("cmdResume"), Qt::LeftButton);
    EXPECT_EQ(clicks.resume, 0);
    // The add-in's resume command runs the handler whatever the button shows.
    window->cmdResume_Click();
    EXPECT_EQ(clicks.resume, 1);
}

TEST_F(frmMainClickTest, WithoutHandlersClicksDoNothing) {
    window->setClickHandlers({});
    QTest::mouseClick(button("cmdCancel"), Qt::LeftButton);
    window->cmdOK_Click();
    EXPECT_EQ(clicks.cancel + clicks.ok, 0);
}

TEST_F(frmMainClickTest, AccessKeysPressTheirButtons) {
    showActive();
    // Through the window system, where shortcuts are matched. A button pressed by its access
    // key shows itself pressed for a moment before the click arrives.
    const auto press = [this](Qt::Key letter, const int& counter) {
        QTest::keyClick(window->windowHandle(), letter, Qt::AltModifier);
        return QTest::qWaitFor([&counter] { return counter == 1; }, 2000);
    };
    EXPECT_TRUE(press(Qt::Key_C, clicks.cancel));
    EXPECT_TRUE(press(Qt::Key_P, clicks.pause));
    EXPECT_TRUE(press(Qt::Key_R, clicks.resume));
    EXPECT_TRUE(press(Qt::Key_O, clicks.ok));
    EXPECT_EQ(clicks.cancel + clicks.pause + clicks.resume + clicks.ok, 4);
}

TEST_F(frmMainClickTest, TabWalksTheButtonsInTabIndexOrder) {
    showActive();
    QStringList visited;
    visited << QApplication::focusWidget()->objectName();
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, (QStringList{QStringLiteral("cmdCancel"), QStringLiteral("cmdOK"), QStringLiteral("cmdPause"),
                                    QStringLiteral("cmdResume"), QStringLiteral("cmdCancel")}));
}

TEST_F(frmMainClickTest, FocusSkipsDisabledButtons) {
    window->applyStartupButtonStates(QStringLiteral("Idle"));
    showActive();
    EXPECT_EQ(QApplication::focusWidget(), button("cmdOK"));
}

TEST_F(frmMainClickTest, ReturnPressesTheFocusedButtonAndEscapeDoesNothing) {
    window->applyStartupButtonStates(QStringLiteral("Sending"));
    showActive();
    ASSERT_EQ(QApplication::focusWidget(), button("cmdCancel"));

    QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(clicks.cancel + clicks.pause + clicks.resume + clicks.ok, 0);

    button("cmdPause")->setFocus();
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    EXPECT_EQ(clicks.pause, 1);
    EXPECT_EQ(clicks.cancel + clicks.resume + clicks.ok, 0);
}

} // namespace
} // namespace quillmark::app
