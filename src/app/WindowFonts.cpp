#include "app/WindowFonts.h"

#include <QFontMetrics>
#include <QStringList>

namespace quillmark::app {

namespace {

constexpr qreal kPointSize = 8.25;

// Liberation Sans and Arimo share Arial's metrics, the closest match to the original faces;
// DejaVu Sans is on every Debian desktop.
QStringList fallbackFamilies() {
    return {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
            QStringLiteral("DejaVu Sans")};
}

QFont windowFont(const QStringList& preferred) {
    QFont font;
    font.setFamilies(preferred + fallbackFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kPointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

} // namespace

QFont defaultWindowFont() {
    return windowFont({QStringLiteral("Microsoft Sans Serif")});
}

QFont emailingValueFont() {
    return windowFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")});
}

QFont fittedFont(const QFont& font, const QString& text, int width, int minimumStretch) {
    if (QFontMetrics(font).horizontalAdvance(text) <= width) {
        return font;
    }
    QFont fitted = font;
    for (int stretch = QFont::Unstretched - 1; stretch >= minimumStretch; --stretch) {
        fitted.setStretch(stretch);
        if (QFontMetrics(fitted).horizontalAdvance(text) <= width) {
            return fitted;
        }
    }
    return fitted;
}

} // namespace quillmark::app
