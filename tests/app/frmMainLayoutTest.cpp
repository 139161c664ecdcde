// The window as designed: size, frame, every control's place, caption, font and tab order.
#include "app/frmMain.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <ostream>
#include <vector>

namespace quillmark::app {
namespace {

constexpr int kTwipsPerPixel = 15;

QRect fromTwips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}

enum class Weight { Regular, Bold };

// One row per control inside the frame: place in twips relative to the frame, caption, weight
// and tab index.
struct ControlRow {
    const char* name;
    int left;
    int top;
    int width;
    int height;
    const char* caption; // null for controls without a fixed caption
    Weight weight;
    int tabIndex;
};

const ControlRow kControls[] = {
    {"lblCampaign", 150, 330, 930, 225, "Campaign:", Weight::Bold, 8},
    {"lblCampaignValue", 1110, 330, 8445, 240, "", Weight::Regular, 9},
    {"lblProgress", 150, 615, 945, 255, "Progress:", Weight::Bold, 10},
    {"lblProgressValue", 1080, 615, 4095, 255, "", Weight::Regular, 11},
    {"lblEmailing", 150, 900, 735, 255, "Emailing:", Weight::Bold, 7},
    {"lblEmailingValue", 990, 900, 9135, 255, "", Weight::Regular, 6},
    {"ProgressBar1", 150, 1230, 10335, 255, nullptr, Weight::Regular, 1},
    {"cmdCancel", 960, 1665, 1515, 345, "&Cancel Sending", Weight::Regular, 2},
    {"cmdPause", 2775, 1665, 1515, 345, "&Pause Sending", Weight::Regular, 4},
    {"cmdResume", 4590, 1665, 1515, 345, "&Resume Sending", Weight::Regular, 5},
    {"cmdOK", 8820, 1665, 1515, 345, "&Ok", Weight::Regular, 3},
};

void PrintTo(const ControlRow& row, std::ostream* out) {
    *out << row.name;
}

QString captionOf(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        return button->text();
    }
    return {};
}

class frmMainLayoutTest : public testing::Test {
protected:
    std::unique_ptr<frmMain> window = std::make_unique<frmMain>();
};

TEST_F(frmMainLayoutTest, IsAFixedSizeWindowCaptionedQuillmark) {
    EXPECT_EQ(window->objectName(), QStringLiteral("frmMain"));
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillmark"));
    const QSize client = fromTwips(0, 0, 10965, 2685).size();
    EXPECT_EQ(client, QSize(731, 179));
    EXPECT_EQ(window->size(), client);
    EXPECT_EQ(window->minimumSize(), client);
    EXPECT_EQ(window->maximumSize(), client);
    window->show();
    EXPECT_EQ(window->size(), client);
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST_F(frmMainLayoutTest, CarriesItsOwnIconAtBothSizes) {
    const QIcon icon = window->windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_FALSE(icon.pixmap(QSize(16, 16)).toImage().isNull());
    EXPECT_EQ(icon.pixmap(QSize(32, 32)).size(), QSize(32, 32));
}

TEST_F(frmMainLayoutTest, DefaultFontIsMicrosoftSansSerif825Regular) {
    const QFont font = window->font();
    ASSERT_FALSE(font.families().isEmpty());
    EXPECT_EQ(font.families().front(), QStringLiteral("Microsoft Sans Serif"));
    EXPECT_GT(font.families().size(), 1) << "a face every Linux desktop has must follow";
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
    EXPECT_EQ(font.weight(), QFont::Normal);
    EXPECT_FALSE(font.italic());
}

TEST_F(frmMainLayoutTest, EmailingValueUsesMsSansSerif) {
    const auto* label = window->findChild<QLabel*>(QStringLiteral("lblEmailingValue"));
    ASSERT_NE(label, nullptr);
    ASSERT_FALSE(label->font().families().isEmpty());
    EXPECT_EQ(label->font().families().front(), QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 8.25);
    EXPECT_EQ(label->font().weight(), QFont::Normal);
}

TEST_F(frmMainLayoutTest, FrameHoldsEveryOtherControl) {
    const auto* frame = window->findChild<QGroupBox*>(QStringLiteral("frameQuillmarkProgress"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->parentWidget(), window.get());
    EXPECT_EQ(frame->title(), QStringLiteral("Quillmark Progress"));
    EXPECT_EQ(frame->geometry(), fromTwips(180, 195, 10620, 2310));
    EXPECT_EQ(frame->geometry(), QRect(12, 13, 708, 154));
    EXPECT_FALSE(frame->isCheckable());
    const auto children = window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), 1);
    EXPECT_EQ(children.front(), frame);
    EXPECT_EQ(frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), std::size(kControls));
}

class frmMainControlTest : public testing::TestWithParam<ControlRow> {
protected:
    std::unique_ptr<frmMain> window = std::make_unique<frmMain>();
};

TEST_P(frmMainControlTest, SitsInTheFrameAtItsDesignedPlace) {
    const ControlRow& row = GetParam();
    const auto* control = window->findChild<QWidget*>(QLatin1String(row.name));
    ASSERT_NE(control, nullptr) << row.name;
    EXPECT_EQ(control->parentWidget()->objectName(), QStringLiteral("frameQuillmarkProgress"));
    EXPECT_EQ(control->geometry(), fromTwips(row.left, row.top, row.width, row.height));
    EXPECT_TRUE(control->isEnabled()) << "everything is enabled at design time";
}

TEST_P(frmMainControlTest, ShowsItsDesignedCaptionInItsWeight) {
    const ControlRow& row = GetParam();
    const auto* control = window->findChild<QWidget*>(QLatin1String(row.name));
    ASSERT_NE(control, nullptr);
    if (row.caption != nullptr) {
        EXPECT_EQ(captionOf(control), QLatin1String(row.caption));
    }
    EXPECT_EQ(control->font().weight(), row.weight == Weight::Bold ? QFont::Bold : QFont::Normal);
    EXPECT_DOUBLE_EQ(control->font().pointSizeF(), 8.25);
}

INSTANTIATE_TEST_SUITE_P(frmMainControls, frmMainControlTest, testing::ValuesIn(kControls),
                         [](const testing::TestParamInfo<ControlRow>& row) { return std::string(row.param.name); });

std::vector<ControlRow> rowsWithFixedCaptions() {
    std::vector<ControlRow> rows;
    std::copy_if(std::begin(kControls), std::end(kControls), std::back_inserter(rows),
                 [](const ControlRow& row) { return row.caption != nullptr && *row.caption != '\0'; });
    return rows;
}

// Whatever face stands in for the designed one, no fixed caption loses letters.
class frmMainCaptionFitTest : public frmMainControlTest {};

TEST_P(frmMainCaptionFitTest, FixedCaptionFitsWhole) {
    const ControlRow& row = GetParam();
    const auto* control = window->findChild<QWidget*>(QLatin1String(row.name));
    ASSERT_NE(control, nullptr);
    QString shown = QLatin1String(row.caption);
    shown.remove(QLatin1Char('&'));
    EXPECT_LE(QFontMetrics(control->font()).horizontalAdvance(shown), control->contentsRect().width())
        << row.name << " in " << qPrintable(QFontInfo(control->font()).family());
}

INSTANTIATE_TEST_SUITE_P(frmMainCaptions, frmMainCaptionFitTest, testing::ValuesIn(rowsWithFixedCaptions()),
                         [](const testing::TestParamInfo<ControlRow>& row) { return std::string(row.param.name); });

struct AccessKeyRow {
    const char* button;
    Qt::Key key;
};

void PrintTo(const AccessKeyRow& row, std::ostream* out) {
    *out << row.button;
}

class frmMainAccessKeyTest : public testing::TestWithParam<AccessKeyRow> {};

TEST_P(frmMainAccessKeyTest, ButtonAnswersAltAndItsLetter) {
    frmMain window;
    const auto* button = window.findChild<QPushButton*>(QLatin1String(GetParam().button));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(QKeySequence::mnemonic(button->text()), QKeySequence(Qt::ALT | GetParam().key));
    EXPECT_EQ(button->shortcut(), QKeySequence(Qt::ALT | GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(frmMainButtons, frmMainAccessKeyTest,
                         testing::Values(AccessKeyRow{"cmdCancel", Qt::Key_C}, AccessKeyRow{"cmdPause", Qt::Key_P},
                                         AccessKeyRow{"cmdResume", Qt::Key_R}, AccessKeyRow{"cmdOK", Qt::Key_O}),
                         [](const testing::TestParamInfo<AccessKeyRow>& row) { return std::string(row.param.button); });

// The focus chain holds the controls in the order of their tab indexes.
TEST_F(frmMainLayoutTest, FocusChainFollowsTheTabIndexes) {
    std::vector<ControlRow> byTabIndex(std::begin(kControls), std::end(kControls));
    byTabIndex.push_back({"frameQuillmarkProgress", 0, 0, 0, 0, nullptr, Weight::Regular, 0});
    std::sort(byTabIndex.begin(), byTabIndex.end(),
              [](const ControlRow& a, const ControlRow& b) { return a.tabIndex < b.tabIndex; });
    QStringList expected;
    for (const ControlRow& row : byTabIndex) {
        expected << QLatin1String(row.name);
    }

    QStringList chain;
    for (QWidget* next = window->nextInFocusChain(); next != window.get(); next = next->nextInFocusChain()) {
        chain << next->objectName();
    }
    EXPECT_EQ(chain, expected);
}

TEST_F(frmMainLayoutTest, OnlyTheButtonsTakeTheFocus) {
    for (const ControlRow& row : kControls) {
        const auto* control = window->findChild<QWidget*>(QLatin1String(row.name));
        ASSERT_NE(control, nullptr);
        const bool isButton = qobject_cast<const QPushButton*>(control) != nullptr;
        EXPECT_EQ(control->focusPolicy() != Qt::NoFocus, isButton) << row.name;
    }
}

TEST_F(frmMainLayoutTest, ProgressBarStartsEmptyWithoutText) {
    const auto* bar = window->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(frmMainLayoutTest, ValueLabelsStartEmpty) {
    for (const char* name : {"lblCampaignValue", "lblProgressValue", "lblEmailingValue"}) {
        const auto* label = window->findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_TRUE(label->text().isEmpty()) << name;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
    }
}

} // namespace
} // namespace quillmark::app
