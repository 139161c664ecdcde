#include "sending/PlaceholderText.h"

#include "core/Error.h"
#include "sending/SendingTestSupport.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

namespace quillmark::sending {
namespace {

// ---- StripMarkup -----------------------------------------------------------------------------

struct Stripping {
    const char* name;
    const char16_t* text;
    const char16_t* expected;
};

void PrintTo(const Stripping& row, std::ostream* out) {
    *out << row.name;
}

class StripMarkupTest : public testing::TestWithParam<Stripping> {};

TEST_P(StripMarkupTest, Strips) {
    EXPECT_EQ(StripMarkup(QString::fromUtf16(GetParam().text)), QString::fromUtf16(GetParam().expected));
}

const auto kStrippings = std::to_array<Stripping>({
    {"PlainTextIsUnchanged", u"FirstName", u"FirstName"},
    {"CarriageReturnsAreRemoved", u"First\rName", u"FirstName"},
    {"LineFeedsBecomeSpaces", u"First\nName", u"First Name"},
    {"CrLfBecomesOneSpace", u"First\r\nName", u"First Name"},
    {"MarkupIsRemoved", u"<b>First</b><i>Name</i>", u"FirstName"},
    {"MarkupWithAttributes", u"<span style=\"color:red\">\"Friend\"</span>", u"\"Friend\""},
    {"MarkupRemovalStartsAtTheFirstOpening", u"a<x<y>b>c", u"ab>c"},
    {"OpeningWithoutCloseKeepsTheRest", u"a <b>x</b> < c", u"a x < c"},
    {"OpeningWithoutCloseAtTheEnd", u"First<", u"First<"},
    {"OpeningClosedByALaterTag", u"a < b <i>c</i>", u"a c"},
    {"SpacesAreTrimmed", u"   Friend  ", u"Friend"},
    {"TrimmingAfterMarkupRemoval", u"<b> Friend </b>", u"Friend"},
    {"OnlySpacesAreTrimmed", u"\tFriend ", u"\tFriend"},
    {"LineEndsAroundAreTrimmed", u"\r\n Friend \r\n", u"Friend"},
    {"DoubleSpaceBecomesOne", u"a  b", u"a b"},
    {"ThreeSpacesBecomeTwo", u"a   b", u"a  b"},
    {"FourSpacesBecomeTwo", u"a    b", u"a  b"},
    {"NbspIsRemoved", u"a&nbsp;b", u"ab"},
    {"NbspInAnyLetterCase", u"a&NBSP;b&Nbsp;", u"ab"},
    {"NbspGoesAfterCollapsing", u"a &nbsp; b", u"a  b"},
    {"NbspLeavesItsSpacesUntrimmed", u"&nbsp; Friend", u" Friend"},
    {"EmptyText", u"", u""},
});

INSTANTIATE_TEST_SUITE_P(Steps, StripMarkupTest, testing::ValuesIn(kStrippings),
                         [](const testing::TestParamInfo<Stripping>& named) { return std::string(named.param.name); });

// ---- FindDelimiterStart ----------------------------------------------------------------------

struct DelimiterSearch {
    const char* name;
    std::int32_t start;
    const char16_t* text;
    Qt::CaseSensitivity compareMode;
    std::int32_t expected;
};

void PrintTo(const DelimiterSearch& row, std::ostream* out) {
    *out << row.name;
}

class FindDelimiterStartTest : public testing::TestWithParam<DelimiterSearch> {};

TEST_P(FindDelimiterStartTest, Finds) {
    const DelimiterSearch& row = GetParam();
    EXPECT_EQ(
        FindDelimiterStart(row.start, QString::fromUtf16(row.text), QStringLiteral("[Substitute"), row.compareMode),
        row.expected);
}

const auto kSearches = std::to_array<DelimiterSearch>({
    {"AtTheStart", 1, u"[Substitute: A, Default: \"\"]", Qt::CaseInsensitive, 1},
    {"FurtherOn", 1, u"Dear [Substitute: A", Qt::CaseInsensitive, 6},
    {"MarkupBetween", 1, u"Dear [<span>Substitute: A", Qt::CaseInsensitive, 6},
    {"NearestBracketBeforeTheWord", 1, u"[a] [b Substitute", Qt::CaseInsensitive, 5},
    {"FromAStartPosition", 7, u"[Substitute] [Substitute", Qt::CaseInsensitive, 14},
    {"StartAtTheBracket", 6, u"Dear [Substitute", Qt::CaseInsensitive, 6},
    {"NoWord", 1, u"Dear [Friend]", Qt::CaseInsensitive, 0},
    {"NoBracket", 1, u"a Substitute teacher [Substitute", Qt::CaseInsensitive, 0},
    {"BracketBeforeTheStart", 5, u"xx [Substitute yy", Qt::CaseInsensitive, 0},
    {"WordInAnyLetterCase", 1, u"[sUBSTITUTE", Qt::CaseInsensitive, 1},
    {"BinaryCompareMatchesCase", 1, u"[SUBSTITUTE [Substitute", Qt::CaseSensitive, 13},
    {"StartBeyondTheText", 30, u"[Substitute", Qt::CaseInsensitive, 0},
    {"StartJustAfterTheText", 12, u"[Substitute", Qt::CaseInsensitive, 0},
    {"Utf16Positions", 1, u"\U0001F600 [Substitute", Qt::CaseInsensitive, 4},
    {"EmptyText", 1, u"", Qt::CaseInsensitive, 0},
});

INSTANTIATE_TEST_SUITE_P(Positions, FindDelimiterStartTest, testing::ValuesIn(kSearches),
                         [](const testing::TestParamInfo<DelimiterSearch>& named) {
                             return std::string(named.param.name);
                         });

TEST(FindDelimiterStartErrorTest, StartBelowOneAndEmptyDelimiterAreErrors) {
    EXPECT_THROW(
        (void)FindDelimiterStart(0, QStringLiteral("[Substitute"), QStringLiteral("[Substitute"), Qt::CaseInsensitive),
        core::Error);
    EXPECT_THROW((void)FindDelimiterStart(1, QStringLiteral("[Substitute"), QString(), Qt::CaseInsensitive),
                 core::Error);
}

TEST(FindDelimiterStartErrorTest, OneCharacterDelimiterIsFoundWhereItStands) {
    EXPECT_EQ(FindDelimiterStart(2, QStringLiteral("a[b[c"), QStringLiteral("["), Qt::CaseSensitive), 2);
    EXPECT_EQ(FindDelimiterStart(3, QStringLiteral("a[b[c"), QStringLiteral("["), Qt::CaseSensitive), 0);
}

TEST(FindDelimiterStartErrorTest, IndexVariantCountsFromZero) {
    EXPECT_EQ(delimiterStartIndex(u"Dear [Substitute", 0, u"[Substitute", Qt::CaseInsensitive), 5);
    EXPECT_EQ(delimiterStartIndex(u"Dear [Substitute", 6, u"[Substitute", Qt::CaseInsensitive), -1);
}

TEST(StripMarkupTrimTest, TrimSpacesRemovesOnlySpaces) {
    EXPECT_EQ(trimSpaces(u"  a b  ").toString(), QStringLiteral("a b"));
    EXPECT_EQ(trimSpaces(u"\ta\n").toString(), QStringLiteral("\ta\n"));
    EXPECT_TRUE(trimSpaces(u"    ").isEmpty());
}

} // namespace
} // namespace quillmark::sending
