#include "app/ElidedLabel.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace quillmark::app {

namespace {
// Line breaks inside a subject would push the rest of it out of the one-line row.
QString oneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}
} // namespace

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    // Captions come from campaign data: never interpret them as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QString ElidedLabel::displayedText() const {
    return fontMetrics().elidedText(oneLine(text()), Qt::ElideRight, contentsRect().width());
}

bool ElidedLabel::isElided() const {
    return displayedText() != oneLine(text());
}

bool ElidedLabel::event(QEvent* event) {
    // The whole caption as tooltip, only when part of it is hidden.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (isElided()) {
            QToolTip::showText(help->globalPos(), text(), this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const auto flags = static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment()).toInt());
    style()->drawItemText(&painter, contentsRect(), flags, palette(), isEnabled(), displayedText(), foregroundRole());
}

} // namespace quillmark::app
