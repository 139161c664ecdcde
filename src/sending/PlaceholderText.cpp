#include "sending/PlaceholderText.h"

#include "core/Error.h"

#include <limits>

namespace quillmark::sending {

namespace {

// Step 3 of StripMarkup in one pass: everything before the first "<" holds no "<", so carrying
// on from a removed span's end is the same as searching again from the start.
QString removeMarkup(const QString& text) {
    if (!text.contains(QLatin1Char('<'))) {
        return text;
    }
    QString plain;
    plain.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), pos);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('>'), open);
        if (close < 0) {
            break;
        }
        plain += QStringView(text).sliced(pos, open - pos);
        pos = close + 1;
    }
    plain += QStringView(text).sliced(pos);
    return plain;
}

} // namespace

qsizetype delimiterStartIndex(QStringView text, qsizetype from, QStringView delimiter,
                              Qt::CaseSensitivity compareMode) {
    if (delimiter.isEmpty()) {
        throw core::Error(QStringLiteral("The delimiter to search for is empty"));
    }
    if (from < 0) {
        throw core::Error(QStringLiteral("The search start %1 lies before the text").arg(from + 1));
    }
    if (from > text.size()) {
        return -1;
    }
    const qsizetype rest = text.indexOf(delimiter.sliced(1), from, compareMode);
    if (rest < 0) {
        return -1;
    }
    const qsizetype first = text.sliced(from, rest - from + 1).lastIndexOf(delimiter.front(), -1, compareMode);
    return first < 0 ? -1 : from + first;
}

std::int32_t FindDelimiterStart(std::int32_t start, const QString& text, const QString& delimiter,
                                Qt::CaseSensitivity compareMode) {
    if (text.size() >= std::numeric_limits<std::int32_t>::max()) {
        throw core::Error(QStringLiteral("The text is too long to search"));
    }
    if (start < 1) {
        throw core::Error(QStringLiteral("The search start %1 lies before the text").arg(start));
    }
    const qsizetype found = delimiterStartIndex(text, qsizetype{start} - 1, delimiter, compareMode);
    return static_cast<std::int32_t>(found + 1);
}

QString StripMarkup(const QString& text) {
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    plain.replace(QLatin1Char('\n'), QLatin1Char(' '));
    plain = removeMarkup(plain);
    const QStringView trimmed = trimSpaces(plain);
    if (trimmed.size() != plain.size()) {
        plain = trimmed.toString();
    }
    // Qt replaces the occurrences found left to right without looking again, as step 5 wants.
    if (plain.contains(QStringLiteral("  "))) {
        plain.replace(QStringLiteral("  "), QStringLiteral(" "));
    }
    if (plain.contains(QLatin1Char('&'))) {
        plain.remove(QStringLiteral("&nbsp;"), Qt::CaseInsensitive);
    }
    return plain;
}

QStringView trimSpaces(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && text[end - 1] == QLatin1Char(' ')) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

} // namespace quillmark::sending
