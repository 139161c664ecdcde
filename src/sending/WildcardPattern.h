#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace quillmark::sending {

// A placeholder keyword used as a pattern for field names, letter case ignored: "?" matches any
// one character, "*" any run of characters (none included), "#" one digit 0-9, "[list]" one
// character of the list and "[!list]" one character not in it. A list holds characters and
// ascending ranges such as "a-z"; a "-" first or last in a list stands for itself, "[]" stands
// for nothing and "[!]" for any one character. Every other character, "]" included, matches
// itself. Characters are Unicode code points: a surrogate pair counts as one.
class WildcardPattern {
public:
    // Throws core::Error when the pattern is invalid: a "[" without its "]", or a range whose
    // ends are in descending order.
    explicit WildcardPattern(QStringView pattern);

    [[nodiscard]] bool matches(QStringView text) const;

private:
    enum class Kind { Literal, AnyOne, Digit, AnyRun, List };
    struct Range {
        char32_t low;
        char32_t high;
    };
    struct Element {
        Kind kind = Kind::Literal;
        char32_t character = 0; // folded; for Literal
        bool negated = false;   // for List
        std::vector<Range> ranges;
    };

    void parseList(QStringView pattern, qsizetype& pos);
    [[nodiscard]] static bool matchesOne(const Element& element, char32_t character);

    QString m_pattern;
    std::vector<Element> m_elements;
};

} // namespace quillmark::sending
