#include "sending/WildcardPattern.h"

#include "core/Error.h"
#include "sending/SendingTestSupport.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

namespace quillmark::sending {
namespace {

struct Matching {
    const char* name;
    const char16_t* pattern;
    const char16_t* text;
    bool matches;
};

void PrintTo(const Matching& row, std::ostream* out) {
    *out << row.name;
}

class WildcardPatternTest : public testing::TestWithParam<Matching> {};

TEST_P(WildcardPatternTest, Matches) {
    const Matching& row = GetParam();
    EXPECT_EQ(WildcardPattern(QString::fromUtf16(row.pattern)).matches(QString::fromUtf16(row.text)), row.matches);
}

const auto kMatchings = std::to_array<Matching>({
    {"LiteralIgnoresLetterCase", u"FirstName", u"FIRSTname", true},
    {"LiteralMustMatchWhole", u"First", u"FirstName", false},
    {"LiteralMustNotBeShorter", u"FirstName", u"First", false},
    {"EmptyPatternMatchesEmptyName", u"", u"", true},
    {"EmptyPatternRejectsAName", u"", u"a", false},
    {"StarMatchesARun", u"First*", u"FirstName", true},
    {"StarMatchesNothing", u"First*", u"first", true},
    {"StarInTheMiddle", u"F*Name", u"FirstName", true},
    {"StarsBacktrack", u"*a*b*c", u"xaxbxbxc", true},
    {"StarsBacktrackAndFail", u"*a*b*c", u"xaxbxbxd", false},
    {"StarAlone", u"*", u"", true},
    {"QuestionMarkIsOneCharacter", u"Cod?", u"code", true},
    {"QuestionMarkIsNotZeroCharacters", u"Cod?", u"cod", false},
    {"QuestionMarkIsNotTwoCharacters", u"Cod?", u"codes", false},
    {"QuestionMarkTakesASurrogatePair", u"a?b", u"a\U0001F600b", true},
    {"HashIsADigit", u"Phone#", u"phone7", true},
    {"HashIsNotALetter", u"Phone#", u"phoneX", false},
    {"HashIsOneDigitOnly", u"Phone#", u"phone12", false},
    {"ListMatchesOneOfIt", u"Tier[abc]", u"tierB", true},
    {"ListRejectsOthers", u"Tier[abc]", u"tierD", false},
    {"RangeInList", u"Tier[a-c]", u"tierb", true},
    {"RangeIgnoresLetterCase", u"Tier[A-C]", u"tierb", true},
    {"RangeRejectsOutside", u"Tier[a-c]", u"tierd", false},
    {"SeveralRanges", u"[a-cx-z]", u"Y", true},
    {"NegatedList", u"Tier[!a]", u"tierb", true},
    {"NegatedListRejectsItsCharacters", u"Tier[!a]", u"TierA", false},
    {"NegatedRange", u"[!0-9]", u"5", false},
    {"HyphenFirstInListIsItself", u"[-a]", u"-", true},
    {"HyphenLastInListIsItself", u"[a-]", u"-", true},
    {"HyphenAfterBangIsItself", u"[!-]", u"-", false},
    {"SpecialCharactersInAListAreLiteral", u"a[*?#[]b", u"a#b", true},
    {"StarInAListIsNotARun", u"a[*]b", u"axxb", false},
    {"EmptyListStandsForNothing", u"a[]b", u"ab", true},
    {"NegatedEmptyListIsAnyCharacter", u"a[!]b", u"axb", true},
    {"ClosingBracketOutsideIsLiteral", u"a]", u"A]", true},
    {"BangOutsideIsLiteral", u"!a", u"!A", true},
    {"NonAsciiLetterCase", u"ÄRGER", u"ärger", true},
    {"NonAsciiRange", u"[à-ä]", u"Â", true},
});

INSTANTIATE_TEST_SUITE_P(Patterns, WildcardPatternTest, testing::ValuesIn(kMatchings),
                         [](const testing::TestParamInfo<Matching>& named) { return std::string(named.param.name); });

struct Invalid {
    const char* name;
    const char16_t* pattern;
    const char* description;
};

void PrintTo(const Invalid& row, std::ostream* out) {
    *out << row.name;
}

class WildcardPatternInvalidTest : public testing::TestWithParam<Invalid> {};

TEST_P(WildcardPatternInvalidTest, ThrowsWithADescription) {
    try {
        const WildcardPattern pattern(QString::fromUtf16(GetParam().pattern));
        ADD_FAILURE() << "no error";
    } catch (const core::Error& error) {
        EXPECT_EQ(error.description(), QString::fromUtf8(GetParam().description));
    }
}

const auto kInvalids = std::to_array<Invalid>({
    {"UnclosedBracket", u"Tier[a", R"(Invalid pattern string: the "[" at position 5 of "Tier[a" has no "]")"},
    {"UnclosedBracketAtTheEnd", u"a[", R"(Invalid pattern string: the "[" at position 2 of "a[" has no "]")"},
    {"UnclosedNegatedList", u"[!", R"(Invalid pattern string: the "[" at position 1 of "[!" has no "]")"},
    {"DescendingRange", u"[z-a]", R"(Invalid pattern string: the range "z-a" in "[z-a]" is not in ascending order)"},
});

INSTANTIATE_TEST_SUITE_P(Patterns, WildcardPatternInvalidTest, testing::ValuesIn(kInvalids),
                         [](const testing::TestParamInfo<Invalid>& named) { return std::string(named.param.name); });

} // namespace
} // namespace quillmark::sending
