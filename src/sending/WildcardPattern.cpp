#include "sending/WildcardPattern.h"

#include "core/Error.h"

#include <algorithm>

namespace quillmark::sending {

namespace {

// The code point at `pos`, moving `pos` past it.
char32_t nextCodePoint(QStringView text, qsizetype& pos) {
    const QChar unit = text[pos++];
    if (unit.isHighSurrogate() && pos < text.size() && text[pos].isLowSurrogate()) {
        return QChar::surrogateToUcs4(unit, text[pos++]);
    }
    return unit.unicode();
}

char32_t folded(char32_t character) {
    return QChar::toCaseFolded(character);
}

QString textOf(char32_t character) {
    return QString::fromUcs4(&character, 1);
}

} // namespace

WildcardPattern::WildcardPattern(QStringView pattern) : m_pattern(pattern.toString()) {
    qsizetype pos = 0;
    while (pos < pattern.size()) {
        const char32_t character = nextCodePoint(pattern, pos);
        switch (character) {
        case U'?':
            m_elements.push_back({Kind::AnyOne, 0, false, {}});
            break;
        case U'#':
            m_elements.push_back({Kind::Digit, 0, false, {}});
            break;
        case U'*':
            // A run of stars matches what one star matches.
            if (m_elements.empty() || m_elements.back().kind != Kind::AnyRun) {
                m_elements.push_back({Kind::AnyRun, 0, false, {}});
            }
            break;
        case U'[':
            parseList(pattern, pos);
            break;
        default:
            m_elements.push_back({Kind::Literal, folded(character), false, {}});
            break;
        }
    }
}

// Reads a list from just after its "[" to its "]" inclusive.
void WildcardPattern::parseList(QStringView pattern, qsizetype& pos) {
    const qsizetype open = pos - 1;
    const qsizetype close = pattern.indexOf(QLatin1Char(']'), pos);
    if (close < 0) {
        throw core::Error(QStringLiteral("Invalid pattern string: the \"[\" at position %1 of \"%2\" has no \"]\"")
                              .arg(open + 1)
                              .arg(m_pattern));
    }
    Element list{Kind::List, 0, false, {}};
    if (pos < close && pattern[pos] == QLatin1Char('!')) {
        list.negated = true;
        ++pos;
    }
    const bool empty = pos == close;
    while (pos < close) {
        const char32_t low = nextCodePoint(pattern, pos);
        char32_t high = low;
        // A "-" between two characters joins them into a range; first or last, it is itself.
        if (pos + 1 < close && pattern[pos] == QLatin1Char('-')) {
            ++pos;
            high = nextCodePoint(pattern, pos);
        }
        const Range range{folded(low), folded(high)};
        if (range.low > range.high) {
            throw core::Error(QStringLiteral("Invalid pattern string: the range \"%1-%2\" in \"%3\" is not in "
                                             "ascending order")
                                  .arg(textOf(low), textOf(high), m_pattern));
        }
        list.ranges.push_back(range);
    }
    pos = close + 1;
    // "[]" stands for nothing at all.
    if (!empty || list.negated) {
        m_elements.push_back(std::move(list));
    }
}

bool WildcardPattern::matchesOne(const Element& element, char32_t character) {
    switch (element.kind) {
    case Kind::Literal:
        return folded(character) == element.character;
    case Kind::AnyOne:
        return true;
    case Kind::Digit:
        return character >= U'0' && character <= U'9';
    case Kind::List: {
        const char32_t key = folded(character);
        const bool listed = std::any_of(element.ranges.begin(), element.ranges.end(),
                                        [key](const Range& range) { return key >= range.low && key <= range.high; });
        return listed != element.negated;
    }
    case Kind::AnyRun:
        break;
    }
    return false;
}

// Each element but "*" takes exactly one character, so the last "*" is the only point worth
// going back to: the classic linear-space glob match.
bool WildcardPattern::matches(QStringView text) const {
    const std::size_t count = m_elements.size();
    std::size_t element = 0;
    qsizetype pos = 0;
    std::size_t afterStar = count + 1; // none yet
    qsizetype starText = 0;
    while (pos < text.size()) {
        if (element < count && m_elements[element].kind == Kind::AnyRun) {
            afterStar = ++element;
            starText = pos;
            continue;
        }
        qsizetype next = pos;
        const char32_t character = nextCodePoint(text, next);
        if (element < count && matchesOne(m_elements[element], character)) {
            ++element;
            pos = next;
            continue;
        }
        if (afterStar > count) {
            return false;
        }
        // Let the last "*" take one more character and try again from there.
        nextCodePoint(text, starText);
        element = afterStar;
        pos = starText;
    }
    while (element < count && m_elements[element].kind == Kind::AnyRun) {
        ++element;
    }
    return element == count;
}

} // namespace quillmark::sending
