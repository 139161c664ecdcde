#pragma once

#include <QFont>
#include <QString>

// The fonts of the progress window. The window was laid out for the 8.25 pt system sans-serif
// of its original desktop; here the same family is asked for first and metric-alike or
// widely installed families follow, so the captions keep their places on any desktop.

namespace quillmark::app {

// "Microsoft Sans Serif" 8.25 pt regular, with fallbacks: the window's default font.
[[nodiscard]] QFont defaultWindowFont();
// "MS Sans Serif" 8.25 pt regular, with the same fallbacks: the e-mailing row's font.
[[nodiscard]] QFont emailingValueFont();

// `font`, narrowed just enough for `text` to fit in `width` pixels. A fixed caption laid out for
// a narrow face stays whole in a wider fallback face instead of losing its last letters. The
// font is left alone when the text already fits, and never narrowed below `minimumStretch`.
[[nodiscard]] QFont fittedFont(const QFont& font, const QString& text, int width, int minimumStretch = 70);

} // namespace quillmark::app
