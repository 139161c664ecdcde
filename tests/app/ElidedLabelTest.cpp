// Long captions stay inside their row: shortened with an ellipsis, whole in the tooltip.
#include "app/ElidedLabel.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <QWidget>
#include <gtest/gtest.h>

namespace quillmark::app {
namespace {

class ElidedLabelTest : public testing::Test {
protected:
    void SetUp() override {
        host.resize(500, 40);
        label.setGeometry(0, 0, 120, 16);
        host.show();
    }
    void askForToolTip() {
        const QPoint inside(5, 5);
        QHelpEvent help(QEvent::ToolTip, inside, label.mapToGlobal(inside));
        QApplication::sendEvent(&label, &help);
    }

    QWidget host;
    ElidedLabel label{&host};
};

TEST_F(ElidedLabelTest, AShortCaptionIsDrawnWhole) {
    label.setText(QStringLiteral("Sending"));
    EXPECT_FALSE(label.isElided());
    EXPECT_EQ(label.displayedText(), QStringLiteral("Sending"));
}

TEST_F(ElidedLabelTest, ALongCaptionIsShortenedButKeptWhole) {
    const QString address = QStringLiteral("someone.with.a.very.long.name@subdomain.example.com");
    label.setText(address);
    EXPECT_EQ(label.text(), address);
    EXPECT_TRUE(label.isElided());
    EXPECT_TRUE(label.displayedText().endsWith(QChar(0x2026)));
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.displayedText()), label.contentsRect().width());
    EXPECT_EQ(label.geometry(), QRect(0, 0, 120, 16)) << "the label never grows";
}

TEST_F(ElidedLabelTest, LineBreaksAreDrawnAsSpaces) {
    label.setText(QStringLiteral("a\r\nb"));
    EXPECT_EQ(label.displayedText(), QStringLiteral("a  b"));
    EXPECT_EQ(label.text(), QStringLiteral("a\r\nb"));
}

TEST_F(ElidedLabelTest, TheWholeCaptionIsTheTooltipOnlyWhenShortened) {
    label.setText(QStringLiteral("someone.with.a.very.long.name@subdomain.example.com"));
    askForToolTip();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), label.text());
    QToolTip::hideText();

    label.setText(QStringLiteral("ann@example.com"));
    askForToolTip();
    EXPECT_FALSE(QToolTip::isVisible() && QToolTip::text() == label.text());
    QToolTip::hideText();
}

TEST_F(ElidedLabelTest, AmpersandsAndMarkupAreShownAsWritten) {
    label.setGeometry(0, 0, 400, 16);
    label.setText(QStringLiteral("Tom & Jerry <b>news</b>"));
    EXPECT_FALSE(label.isElided());
    EXPECT_EQ(label.displayedText(), QStringLiteral("Tom & Jerry <b>news</b>"));
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
}

} // namespace
} // namespace quillmark::app
