#include "sending/MyReplace.h"

#include "core/Executable.h"
#include "sending/DoNotSend.h"
#include "sending/PlaceholderText.h"
#include "sending/RecipientFields.h"
#include "sending/SendingTestSupport.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"
#include "support/TestHome.h"
#include "support/TextFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <array>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>

namespace quillmark::sending {
namespace {

using test::fieldsOf;
using test::RecipientXml;

const std::string kAnnSmith = R"(<field name="FirstName">Ann</field><field name="LastName">Smith</field>)";

// Each test runs under a profile and a log folder of its own, with logging in its default
// state (information lines off) unless the test switches it on.
class MyReplaceTest : public testing::Test {
protected:
    void SetUp() override {
        const QString name = QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name())
                                 .replace(QLatin1Char('/'), QLatin1Char('_'));
        folder = test::testHome() + QStringLiteral("/sending/") + name + QLatin1Char('/');
        QDir().mkpath(folder);
        settings::setApplicationName(settings::applicationNameForProfile(name));
        settings::write(settings::keys::AppDataFolder, folder);
        clearDoNotSend();
    }
    void TearDown() override {
        settings::setApplicationName(QString());
        clearDoNotSend();
    }

    // Every log line as its fields: time, module, source, text.
    [[nodiscard]] std::vector<QStringList> logLines() const {
        std::vector<QStringList> lines;
        for (const QString& line : test::readCrLfLines(folder + QStringLiteral("TollmereLog.txt"))) {
            lines.push_back(fieldsOf(line));
        }
        return lines;
    }
    // The texts of the information lines of MyReplace, in order.
    [[nodiscard]] QStringList productTexts() const {
        QStringList texts;
        for (const QStringList& fields : logLines()) {
            EXPECT_EQ(fields.size(), 4);
            EXPECT_EQ(fields.value(1), QStringLiteral("Quillmark"));
            EXPECT_EQ(fields.value(2), QStringLiteral("MyReplace"));
            texts.push_back(fields.value(3));
        }
        return texts;
    }

    QString folder;
};

// ---- Placeholder shapes ----------------------------------------------------------------------

struct Shape {
    const char* name;
    const char16_t* text;
    std::string fields; // child nodes of the recipient element
    const char16_t* expected;
    bool doNotSend = false;
};

void PrintTo(const Shape& shape, std::ostream* out) {
    *out << shape.name;
}

class MyReplaceShapeTest : public MyReplaceTest, public testing::WithParamInterface<Shape> {};

TEST_P(MyReplaceShapeTest, PersonalisesAsExpected) {
    const Shape& shape = GetParam();
    const RecipientXml recipient(shape.fields);
    const QString text = QString::fromUtf16(shape.text);
    EXPECT_EQ(MyReplace(text, recipient.node()), QString::fromUtf16(shape.expected));
    EXPECT_EQ(doNotSendRaised(), shape.doNotSend);
    EXPECT_TRUE(logLines().empty()) << "no error line, and information lines are off";
}

const auto kShapes = std::to_array<Shape>({
    // The basic example, with the field, without it, and with it empty or blank.
    {"FieldValueReplacesPlaceholder", uR"(Dear [Substitute: FirstName, Default: "Friend"],)",
     R"(<field name="firstname">Ann</field>)", u"Dear Ann,"},
    {"MissingFieldGivesDefault", uR"(Dear [Substitute: FirstName, Default: "Friend"],)",
     R"(<field name="LastName">Smith</field>)", u"Dear Friend,"},
    {"EmptyFieldGivesDefault", uR"(Dear [Substitute: FirstName, Default: "Friend"],)",
     R"(<field name="FirstName"></field><field name="FirstName">Bob</field>)", u"Dear Friend,"},
    {"BlankFieldGivesDefault", uR"(Dear [Substitute: FirstName, Default: "Friend"],)",
     R"(<field name="FirstName"><![CDATA[   ]]></field>)", u"Dear Friend,"},
    {"ValueKeepsItsOwnSpaces", uR"(Dear [Substitute: FirstName, Default: "Friend"],)",
     R"(<field name="FirstName"><![CDATA[ Ann ]]></field>)", u"Dear  Ann ,"},
    {"DefaultValueIsTrimmed", uR"(Dear [Substitute: FirstName, Default: "  Dear Friend  "],)", "",
     u"Dear Dear Friend,"},
    {"CommentChildIsNoField", uR"(Dear [Substitute: FirstName, Default: "Friend"],)",
     R"(<!-- from the CRM --><field name="FirstName">Ann</field>)", u"Dear Ann,"},
    {"TextChildIsNoField", uR"(Dear [Substitute: FirstName, Default: "Friend"],)",
     R"(stray text<field name="FirstName">Ann</field>)", u"Dear Ann,"},
    {"TextWithoutSubstituteIsUnchanged", u"Hello [there], see you", kAnnSmith, u"Hello [there], see you"},
    {"EmptyTextStaysEmpty", u"", kAnnSmith, u""},
    {"ValuesAreInsertedUnescaped", uR"(<p>[Substitute: LastName, Default: ""]</p>)",
     R"(<field name="LastName"><![CDATA[<b>Smith & Co</b>]]></field>)", u"<p><b>Smith & Co</b></p>"},

    // Keywords are wildcard patterns matched against field names in document order.
    {"StarMatchesFirstFieldInDocumentOrder", uR"([Substitute: First*, Default: ""])",
     R"(<f n="LastName">Smith</f><f n="FIRSTNAME">Ann</f><f n="FirstName2">Bob</f>)", u"Ann"},
    {"QuestionMarkMatchesOneCharacter", uR"([Substitute: Cod?, Default: "none"])",
     R"(<f n="cod">A</f><f n="codes">B</f><f n="CODE">C</f>)", u"C"},
    {"HashMatchesOneDigit", uR"([Substitute: Phone#, Default: "none"])",
     R"(<f n="PhoneX">X</f><f n="Phone12">12</f><f n="phone2">555</f>)", u"555"},
    {"ListRangeMatchesOneOfIt", uR"([Substitute: Tier[a-c], Default: "none"])",
     R"(<f n="TierD">D</f><f n="tierB">B</f>)", u"B"},
    {"NegatedListExcludesIt", uR"([Substitute: Tier[!a], Default: "none"])",
     R"(<f n="TierA">A</f><f n="Tiera">a</f><f n="TierB">B</f>)", u"B"},
    {"FirstAttributeNamesTheFieldWhateverItsName", uR"([Substitute: FirstName, Default: ""])",
     R"(<f id="other" name="FirstName">Bob</f><f key="FirstName" name="x">Ann</f>)", u"Ann"},

    // Empty defaults, at the start of the text too.
    {"EmptyTitleIsRemoved", uR"(Hello [Substitute: Title, Default: ""] Smith)", kAnnSmith, u"Hello  Smith"},
    {"EmptyTitleAtTheVeryStart", uR"([Substitute: Title, Default: ""]Dear Ann)", kAnnSmith, u"Dear Ann"},
    {"UnquotedDefaultIsEmpty", uR"(Hi [Substitute: Title, Default: Friend]!)", kAnnSmith, u"Hi !"},
    {"UnclosedQuoteGivesEmptyDefault", uR"(Hi [Substitute: Title, Default: "Friend]!)", kAnnSmith, u"Hi !"},

    // Quotation marks written as entities or curly marks.
    {"QuotEntities", uR"(<p>Hi [Substitute: FirstName, Default: &quot;Friend&quot;]</p>)", "", u"<p>Hi Friend</p>"},
    {"NumericQuoteEntities", uR"(Hi [Substitute: FirstName, Default: &#8220;Friend&#8221;]!)", "", u"Hi Friend!"},
    {"EntitiesInAnyLetterCase", uR"(Hi [Substitute: FirstName, Default: &QUOT;Friend&Quot;]!)", "", u"Hi Friend!"},
    {"CurlyQuotes", u"Hi [Substitute: FirstName, Default: \u201CFriend\u201D]!", "", u"Hi Friend!"},
    {"RightCurlyQuotesOnly", u"Hi [Substitute: FirstName, Default: \u201DFriend\u201D]!", "", u"Hi Friend!"},
    {"StraightQuotesWinOverCurly", u"Hi [Substitute: FirstName, Default: \u201Ca\u201D \"b\"]!", "", u"Hi b!"},

    // Markup between the parts is tolerated and goes with the placeholder.
    {"MarkupInsidePlaceholder",
     uR"(<p>Dear [<span style="color:red">Substitute: <b>FirstName</b>, Default: "Friend"</span>]</p>)", "",
     u"<p>Dear Friend</p>"},
    {"MarkupInsidePlaceholderWithField",
     uR"(<p>Dear [<span style="color:red">Substitute: <b>FirstName</b>, Default: "Friend"</span>]</p>)", kAnnSmith,
     u"<p>Dear Ann</p>"},
    {"NbspInsideDefault", uR"(Hi [Substitute: Title, Default: "&nbsp;Friend"]!)", "", u"Hi Friend!"},

    // Where a placeholder ends, and what counts as the next one.
    {"BracketInsideQuotedDefaultEndsPlaceholder", uR"(A [Substitute: X, Default: "a]b"] Z)", "", uR"(A b"] Z)"},
    {"PlainSubstituteWithoutBracketEndsTheSearch",
     uR"([Substitute: FirstName, Default: ""] is a Substitute teacher; [Substitute: LastName, Default: ""])", kAnnSmith,
     uR"(Ann is a Substitute teacher; [Substitute: LastName, Default: ""])"},
    {"PlainSubstituteAfterBracketJoinsTheNextPlaceholder",
     uR"([Substitute: FirstName, Default: ""] (see [1] Substitute teacher) [Substitute: LastName, Default: ""]!)",
     kAnnSmith, u"Ann (see Smith!"},
    {"InsertedValueIsNotSearched", uR"([Substitute: Note, Default: ""] and [Substitute: LastName, Default: "x"])",
     R"(<f n="Note">[Substitute: LastName, Default: "no"]</f><f n="LastName">Smith</f>)",
     uR"([Substitute: LastName, Default: "no"] and Smith)"},
    {"SeveralPlaceholdersAndTheSameFieldTwice",
     uR"([Substitute: FirstName, Default: ""] [Substitute: LastName, Default: ""], or just [Substitute: firstname, Default: ""])",
     kAnnSmith, u"Ann Smith, or just Ann"},
    {"WordsInAnyLetterCase", uR"([SUBSTITUTE: firstname, DEFAULT: "x"] [substitute: FIRSTNAME, default: "x"])",
     kAnnSmith, u"Ann Ann"},

    // "Do not send": the recipient is skipped; nothing after the placeholder is looked at.
    {"DoNotSendForMissingField",
     uR"(Hi [Substitute: Company, Default: "Do not send"] [Substitute: FirstName, Default: ""])", kAnnSmith, u"", true},
    {"DoNotSendForEmptyField", uR"(Hi [Substitute: Company, Default: "Do not send"])", R"(<f n="Company"/>)", u"",
     true},
    {"DoNotSendForBlankField", uR"(Hi [Substitute: Company, Default: "Do not send"])",
     R"(<f n="Company"><![CDATA[   ]]></f>)", u"", true},
    {"DoNotSendInAnyLetterCase", uR"(Hi [Substitute: Company, Default: &quot;DO NOT send&quot;])", "", u"", true},
    {"DoNotSendAfterEarlierPlaceholders",
     uR"([Substitute: FirstName, Default: ""], [Substitute: Company, Default: "do not send"])", kAnnSmith, u"", true},
    {"DoNotSendDefaultWithFieldPresent",
     uR"(Hi [Substitute: Company, Default: "Do not send"] [Substitute: FirstName, Default: ""])",
     R"(<f n="Company">Acme</f><f n="FirstName">Ann</f>)", u"Hi Acme Ann"},

    // Values wrapped as CDATA[...] by the data file's writer.
    {"CdataWrappedValue", uR"([Substitute: LastName, Default: ""])", R"(<f n="LastName">CDATA[Smith]</f>)", u"Smith"},
    {"CdataPrefixOfAWord", uR"([Substitute: LastName, Default: ""])", R"(<f n="LastName">cdatabase</f>)", u"as"},
    {"ShortCdataValueIsUnchanged", uR"([Substitute: LastName, Default: ""])", R"(<f n="LastName">CDATA[</f>)",
     u"CDATA["},
    {"CdataWrappingNothingGivesDefault", uR"([Substitute: LastName, Default: "x"])", R"(<f n="LastName">CDATA[]</f>)",
     u"x"},

    // Text beyond ASCII: positions are UTF-16 positions, letter case is Unicode's.
    {"NonAsciiTextAndKeyword", u"\U0001F600 Grüße, [Substitute: NÄME, Default: \u201CFreund\u201D]! Ça va",
     R"(<f n="näme">Zoë</f>)", u"\U0001F600 Grüße, Zoë! Ça va"},
    {"NonAsciiDefault", u"Grüße, [Substitute: Name, Default: \"Jürgen \U0001F600\"]!", "",
     u"Grüße, Jürgen \U0001F600!"},

    // Placeholders missing a part are left as written; nothing around them is replaced.
    {"MissingColonAndNoPlaceholderAfter", uR"(Hi [Substitute FirstName, Default: "x"] there)", kAnnSmith,
     uR"(Hi [Substitute FirstName, Default: "x"] there)"},
    {"MissingCommaIsLeftAsWritten", uR"([Substitute: FirstName Default: "x"] and [Substitute: LastName, Default: "y"])",
     kAnnSmith, uR"([Substitute: FirstName Default: "x"] and Smith)"},
    {"MissingDefaultWordIsLeftAsWritten", uR"([Substitute: FirstName, "x"] and [Substitute: LastName, Default: "y"])",
     kAnnSmith, uR"([Substitute: FirstName, "x"] and Smith)"},
    {"MissingBracketIsLeftAsWritten",
     uR"([Substitute: FirstName, Default: "x" and [Substitute: LastName, Default: "y"])", kAnnSmith,
     uR"([Substitute: FirstName, Default: "x" and Smith)"},
    {"MissingBracketAtTheEnd", uR"(Hi [Substitute: FirstName, Default: "x")", kAnnSmith,
     uR"(Hi [Substitute: FirstName, Default: "x")"},
    {"MissingPartBeforeAMarkedUpPlaceholder",
     uR"([Substitute: FirstName, oops] <b>[<span>Substitute: LastName, Default: "y"</span>]</b>)", kAnnSmith,
     uR"([Substitute: FirstName, oops] <b>Smith</b>)"},
    {"MissingColonBeforeAPlaceholderReadsLikeThePlainWord",
     uR"([Substitute FirstName, Default: "x"] and [Substitute: LastName, Default: "y"]!)", kAnnSmith, u"Smith!"},
    {"SubstituteWordsInADefaultOpenNothing",
     uR"([Substitute: Role, Default: "Substitute: none"] [Substitute: LastName, Default: ""])", kAnnSmith,
     u"Substitute: none Smith"},
    {"SubstituteWordsWithoutBracketBelongToTheDefault",
     uR"([Substitute: Title, Default: "x" Substitute: Name, Default: "y"] end)", kAnnSmith, u"x end"},
    {"UnclosedMarkupInKeyword", uR"([Substitute: First<Name, Default: "x"])", kAnnSmith, u"x"},
    {"UnclosedMarkupInDefault", uR"([Substitute: Title, Default: "a <b"])", kAnnSmith, u"a <b"},
});

INSTANTIATE_TEST_SUITE_P(Shapes, MyReplaceShapeTest, testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<Shape>& named) { return std::string(named.param.name); });

// ---- Large and hostile texts ------------------------------------------------------------------

// Each of these is about a megabyte; a search that went back over the text per placeholder
// would take minutes instead of milliseconds.
TEST_F(MyReplaceTest, LargeAndHostileTextsTakeLinearTime) {
    const RecipientXml recipient(kAnnSmith);
    const auto repeated = [](const QString& piece) { return piece.repeated(1'000'000 / piece.size()); };
    const std::array texts = {
        repeated(QStringLiteral(R"(<p>[Substitute: FirstName, Default: "x"]</p>)")),
        repeated(QStringLiteral("[Substitute ")),
        repeated(QStringLiteral("[Substitute: ")),
        QStringLiteral(R"([Substitute: a, Default: "b")") + repeated(QStringLiteral("Substitute: ")),
        QStringLiteral("[") + repeated(QStringLiteral("Substitute: a ")),
        repeated(QStringLiteral(R"([Substitute: a, [Substitute: b, Default: "c" )")),
        repeated(QStringLiteral("Substitute [ ")) + QStringLiteral(R"([Substitute: FirstName, Default: ""])"),
        QStringLiteral(R"([Substitute: FirstName, Default: ""])") + repeated(QStringLiteral("<b>[x]</b> ")),
    };
    QElapsedTimer timer;
    timer.start();
    for (const QString& text : texts) {
        EXPECT_FALSE(MyReplace(text, recipient.node()).isEmpty());
    }
    EXPECT_LT(timer.elapsed(), 5000);
    const QString placeholder = QStringLiteral(R"(<p>[Substitute: FirstName, Default: "x"]</p>)");
    EXPECT_TRUE(MyReplace(texts[0], recipient.node()) ==
                QStringLiteral("<p>Ann</p>").repeated(1'000'000 / placeholder.size()));
}

// ---- Agreement with the text-rebuilding loop -------------------------------------------------

// The substitution loop written the direct way: 1-based positions, every search on the text as
// rebuilt after each replacement. Used on texts whose placeholders are complete; none when it
// meets one that is not (there the linear loop leaves it as written on purpose).
std::optional<QString> rebuildingReplace(QString text, const RecipientFields& fields) {
    const auto inStr = [](qsizetype start, const QString& in, QStringView word) -> qsizetype {
        const qsizetype found = in.indexOf(word, start - 1, Qt::CaseInsensitive);
        return found < 0 ? 0 : found + 1;
    };
    const auto findDelimiterStart = [&](qsizetype start, const QString& in) -> qsizetype {
        const qsizetype rest = inStr(start, in, u"Substitute");
        if (rest == 0) {
            return 0;
        }
        const qsizetype bracket = in.lastIndexOf(QLatin1Char('['), rest - 1) + 1;
        return bracket == 0 || bracket < start ? 0 : bracket;
    };
    qsizetype p = findDelimiterStart(1, text);
    while (p >= 1) {
        const qsizetype k = inStr(p, text, u"Substitute:");
        const qsizetype c = k == 0 ? 0 : inStr(k + 12, text, u",");
        const qsizetype d = c == 0 ? 0 : inStr(c, text, u"Default:");
        const qsizetype e = d == 0 ? 0 : inStr(d + 8, text, u"]");
        if (e == 0) {
            return std::nullopt;
        }
        const QString keyword = StripMarkup(trimSpaces(text.mid(k + 10, c - (k + 11))).toString());
        QString region = StripMarkup(trimSpaces(text.mid(d + 7, e - (d + 8))).toString());
        for (const QString& entity : {QStringLiteral("&#8220;"), QStringLiteral("&#8221;"), QStringLiteral("&quot;")}) {
            region.replace(entity, QStringLiteral("\""), Qt::CaseInsensitive);
        }
        qsizetype open = 0;
        qsizetype close = 0;
        if (region.contains(QLatin1Char('"'))) {
            open = region.indexOf(QLatin1Char('"')) + 1;
            close = region.indexOf(QLatin1Char('"'), open) + 1;
        } else {
            open = (region.contains(u'\u201C') ? region.indexOf(u'\u201C') : region.indexOf(u'\u201D')) + 1;
            close = region.indexOf(u'\u201D', open) + 1;
        }
        const QString defaultValue =
            open > 0 && close > 0 ? trimSpaces(region.mid(open, close - open - 1)).toString() : QString();
        const std::optional<QString> value = fields.valueOf(keyword);
        QString candidate = value && !trimSpaces(*value).isEmpty() ? *value : defaultValue;
        if ((!value || trimSpaces(*value).isEmpty()) &&
            defaultValue.compare(QStringLiteral("Do not send"), Qt::CaseInsensitive) == 0) {
            return QString();
        }
        if (trimSpaces(candidate).isEmpty()) {
            candidate = defaultValue;
        }
        text = text.left(p - 1) + candidate + text.mid(e);
        p = findDelimiterStart(p - 1 + candidate.size() + 1, text);
    }
    return text;
}

TEST_F(MyReplaceTest, AgreesWithTheTextRebuildingLoopOnRandomTexts) {
    const RecipientXml recipient(R"(<f n="FirstName">Ann</f><f n="LastName">CDATA[Smith]</f><!-- c -->)"
                                 R"(<f n="Note">[Substitute: FirstName, Default: "v"]</f><f n="Blank"/>)");
    const RecipientFields fields(recipient.node());
    const std::array pieces = {
        QStringLiteral("Hello "),
        QStringLiteral("<p>"),
        QStringLiteral("</p>\r\n"),
        QStringLiteral(" [note] "),
        QStringLiteral(" ] "),
        QStringLiteral("a Substitute teacher "),
        QStringLiteral("[see Substitute] "),
        QStringLiteral(", "),
        QStringLiteral("Default "),
        QStringLiteral("&quot;"),
        QString::fromUtf16(u"\u201C\U0001F600 Grüße "),
        QStringLiteral(R"([Substitute: FirstName, Default: "Friend"])"),
        QStringLiteral(R"([<span class="x">Substitute: <b>LastName</b>, Default: &quot;x&quot;</span>])"),
        QString::fromUtf16(u"[SUBSTITUTE: first*, default: \u201Cy\u201D]"),
        QStringLiteral(R"([Substitute: Title, Default: ""])"),
        QStringLiteral(R"([Substitute: Note, Default: "n"])"),
        QStringLiteral(R"([Substitute: Nick, Default: "a]b"])"),
        QStringLiteral("[Substitute: Blank, Default: Friend]"),
        QStringLiteral(R"([Substitute:X,Default:"z"])"),
        QStringLiteral(R"([Substitute: Company, Default: "Do not send"])"),
    };
    std::mt19937 random(20240611);
    int compared = 0;
    for (int sample = 0; sample < 3000; ++sample) {
        QString text;
        const int count = std::uniform_int_distribution<int>(0, 12)(random);
        for (int index = 0; index < count; ++index) {
            const auto last = static_cast<int>(std::size(pieces)) - (sample % 4 == 0 ? 1 : 2);
            text += pieces[static_cast<std::size_t>(std::uniform_int_distribution<int>(0, last)(random))];
        }
        const std::optional<QString> expected = rebuildingReplace(text, fields);
        if (!expected) {
            continue;
        }
        ++compared;
        clearDoNotSend();
        ASSERT_EQ(MyReplace(text, recipient.node()), *expected) << "text: " << text.toStdString();
    }
    EXPECT_GT(compared, 1500);
    EXPECT_TRUE(logLines().empty());
}

// ---- The do-not-send condition ---------------------------------------------------------------

TEST_F(MyReplaceTest, DoNotSendConditionIsClearedRaisedAndTested) {
    EXPECT_FALSE(doNotSendRaised());
    raiseDoNotSend();
    EXPECT_TRUE(doNotSendRaised());
    raiseDoNotSend();
    EXPECT_TRUE(doNotSendRaised());
    clearDoNotSend();
    EXPECT_FALSE(doNotSendRaised());
}

TEST_F(MyReplaceTest, DoNotSendConditionRaisedEarlierEmptiesTheNextTextAtItsFirstPlaceholder) {
    const RecipientXml recipient(kAnnSmith);
    EXPECT_EQ(MyReplace(QStringLiteral(R"(Subject [Substitute: Company, Default: "Do not send"])"), recipient.node()),
              QString());
    ASSERT_TRUE(doNotSendRaised());
    EXPECT_EQ(MyReplace(QStringLiteral(R"(Body for [Substitute: FirstName, Default: ""])"), recipient.node()),
              QString());
    EXPECT_EQ(MyReplace(QStringLiteral("Body without placeholders"), recipient.node()),
              QStringLiteral("Body without placeholders"));
    EXPECT_TRUE(doNotSendRaised()) << "only the per-recipient send clears it";
}

TEST_F(MyReplaceTest, NoRecipientNodeMeansNoFields) {
    EXPECT_EQ(MyReplace(QStringLiteral(R"(Dear [Substitute: FirstName, Default: "Friend"])"), pugi::xml_node()),
              QStringLiteral("Dear Friend"));
}

// ---- The error path --------------------------------------------------------------------------

TEST_F(MyReplaceTest, FieldElementWithoutAttributeFailsWithTheTextAsFarAsPersonalised) {
    const RecipientXml recipient(R"(<f n="FirstName">Ann</f><field>no name</field><f n="LastName">Smith</f>)");
    const QString result = MyReplace(
        QStringLiteral(
            R"(Dear [Substitute: FirstName, Default: ""] [Substitute: LastName, Default: ""] and [Substitute: FirstName, Default: ""])"),
        recipient.node());
    EXPECT_EQ(result, QStringLiteral(
                          R"(Dear Ann [Substitute: LastName, Default: ""] and [Substitute: FirstName, Default: ""])"));
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].mid(1),
              (QStringList{core::executableName(), QStringLiteral("Quillmark.MyReplace"),
                           QStringLiteral("Error occurred at line 614.  Reason: The field element <field> has no "
                                          "attribute to give its name")}));
}

TEST_F(MyReplaceTest, FailureKeepsTheDoNotSendCondition) {
    const RecipientXml recipient(R"(<field>no name</field>)");
    raiseDoNotSend();
    EXPECT_EQ(MyReplace(QStringLiteral(R"(x [Substitute: A, Default: ""])"), recipient.node()),
              QStringLiteral(R"(x [Substitute: A, Default: ""])"));
    EXPECT_TRUE(doNotSendRaised());
    ASSERT_EQ(logLines().size(), 1u);
}

TEST_F(MyReplaceTest, InvalidKeywordPatternFailsOnlyWhenThereIsAFieldToCompare) {
    const QString text = QStringLiteral(R"(Tier: [Substitute: Tier[a, Default: "basic"])");
    EXPECT_EQ(MyReplace(text, RecipientXml("<!-- none -->").node()), QStringLiteral("Tier: basic"));
    EXPECT_TRUE(logLines().empty());

    EXPECT_EQ(MyReplace(text, RecipientXml(kAnnSmith).node()), text);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].value(2), QStringLiteral("Quillmark.MyReplace"));
    EXPECT_EQ(lines[0].value(3), QStringLiteral("Error occurred at line 614.  Reason: Invalid pattern string: the "
                                                "\"[\" at position 5 of \"Tier[a\" has no \"]\""));
}

// ---- Log lines -------------------------------------------------------------------------------

TEST_F(MyReplaceTest, LogsEachPlaceholderAndTheWholeText) {
    settings::write(settings::keys::LogFileWanted, 1);
    const RecipientXml recipient(R"(<field name="FirstName">Ann</field>)");
    const QString result = MyReplace(
        QStringLiteral(
            R"(<p>Dear [Substitute: <b>FirstName</b>, Default: &quot;Friend&quot;] [Substitute: Title, Default: none]</p>)"),
        recipient.node());
    EXPECT_EQ(result, QStringLiteral("<p>Dear Ann </p>"));
    EXPECT_EQ(productTexts(), (QStringList{
                                  QStringLiteral("*** Now working with keyword: FirstName"),
                                  QStringLiteral(R"(*** Now working with default: "Friend")"),
                                  QStringLiteral("*** DefaultStartPos: 1; DefaultEndPos: 8"),
                                  QStringLiteral("*** Now working with default: Friend"),
                                  QStringLiteral("*** Now working with keyword: Title"),
                                  QStringLiteral("*** Now working with default: none"),
                                  QStringLiteral("*** Now working with default: "),
                                  QStringLiteral("<p>Dear Ann </p>"),
                              }));
}

TEST_F(MyReplaceTest, LoggedQuotePositionsAreUtf16Positions) {
    settings::write(settings::keys::LogFileWanted, 1);
    const RecipientXml recipient("");
    EXPECT_EQ(MyReplace(QString::fromUtf16(u"[Substitute: X, Default: \U0001F600 \u201CZoë\u201D]"), recipient.node()),
              QStringLiteral("Zoë"));
    const QStringList texts = productTexts();
    ASSERT_EQ(texts.size(), 5);
    EXPECT_EQ(texts[2], QStringLiteral("*** DefaultStartPos: 4; DefaultEndPos: 8"));
}

TEST_F(MyReplaceTest, LogsTheDoNotSendActivationAndNoText) {
    settings::write(settings::keys::LogFileWanted, 1);
    const RecipientXml recipient(kAnnSmith);
    EXPECT_EQ(MyReplace(QStringLiteral(R"(Hi [Substitute: Company, Default: "Do not send"])"), recipient.node()),
              QString());
    EXPECT_EQ(productTexts(), (QStringList{
                                  QStringLiteral("*** Now working with keyword: Company"),
                                  QStringLiteral(R"(*** Now working with default: "Do not send")"),
                                  QStringLiteral("*** DefaultStartPos: 1; DefaultEndPos: 13"),
                                  QStringLiteral("*** Now working with default: Do not send"),
                                  QStringLiteral("Default 'Do not send' activated...not sending"),
                              }));
}

TEST_F(MyReplaceTest, LogsAPlaceholderLeftAsWritten) {
    settings::write(settings::keys::LogFileWanted, 1);
    const RecipientXml recipient(kAnnSmith);
    const QString text = QStringLiteral(R"([Substitute: A, Default: ""]ab [Substitute: FirstName, "x"])");
    EXPECT_EQ(MyReplace(text, recipient.node()), QStringLiteral(R"(ab [Substitute: FirstName, "x"])"));
    const QStringList texts = productTexts();
    ASSERT_EQ(texts.size(), 7);
    EXPECT_EQ(texts[4], QStringLiteral("*** Now working with keyword: FirstName"));
    EXPECT_EQ(texts[5],
              QStringLiteral(R"(*** Placeholder at position 4 left as written: no "Default:" follows its keyword)"));
    EXPECT_EQ(texts[6], QStringLiteral(R"(ab [Substitute: FirstName, "x"])"));
}

TEST_F(MyReplaceTest, TextWithoutPlaceholdersIsLoggedWhole) {
    settings::write(settings::keys::LogFileWanted, 1);
    EXPECT_EQ(MyReplace(QStringLiteral("No fields here"), RecipientXml(kAnnSmith).node()),
              QStringLiteral("No fields here"));
    EXPECT_EQ(productTexts(), QStringList{QStringLiteral("No fields here")});
}

} // namespace
} // namespace quillmark::sending
