#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

// Text helpers of the placeholder parser. Positions of FindDelimiterStart are 1-based UTF-16
// positions, 0 meaning "none"; the index variant is its 0-based twin for callers that walk a
// text without copying it.

namespace quillmark::sending {

// Where the next `delimiter` opens at or after `start`: the delimiter's rest (all but its first
// character) is searched from `start`, then its first character backwards from the rest's
// position (that position included). 0 when the rest is not found or when no first character
// lies between `start` and it. Throws core::Error for an empty delimiter, a start below 1 or
// a text longer than 32-bit positions reach.
[[nodiscard]] std::int32_t FindDelimiterStart(std::int32_t start, const QString& text, const QString& delimiter,
                                              Qt::CaseSensitivity compareMode);

// The same on 0-based indices: `from` is the first index searched; -1 when there is none.
[[nodiscard]] qsizetype delimiterStartIndex(QStringView text, qsizetype from, QStringView delimiter,
                                            Qt::CaseSensitivity compareMode);

// Reduces a placeholder part to its plain words, in this order: CRs removed, LFs turned into
// spaces, markup ("<" to the next ">") removed, spaces trimmed, each double space made single
// in one pass, "&nbsp;" removed. A "<" without a ">" after it is kept with the rest of the
// text as it stands.
[[nodiscard]] QString StripMarkup(const QString& text);

// `text` without leading and trailing spaces (U+0020 only, as the placeholder syntax trims).
[[nodiscard]] QStringView trimSpaces(QStringView text);

} // namespace quillmark::sending
