#include "sending/RecipientFields.h"

#include "core/Error.h"
#include "sending/SendingTestSupport.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

namespace quillmark::sending {
namespace {

using test::RecipientXml;

TEST(RecipientFieldTest, NameIsTheFirstAttributeWhateverItIsCalled) {
    const RecipientXml recipient(R"(<field key="FirstName" name="other">Ann</field>)");
    const auto field = readField(recipient.node().first_child());
    ASSERT_TRUE(field);
    EXPECT_EQ(field->name, QStringLiteral("FirstName"));
    EXPECT_EQ(field->value, QStringLiteral("Ann"));
}

TEST(RecipientFieldTest, ValueIsTheWholeTextContent) {
    const RecipientXml recipient(
        R"(<field name="Name">Ann<b>e</b><!-- nick --><![CDATA[ Marie & <Co>]]><?pi skip?><i><u>!</u></i></field>)");
    EXPECT_EQ(readField(recipient.node().first_child())->value, QStringLiteral("Anne Marie & <Co>!"));
}

TEST(RecipientFieldTest, EntitiesAndNonAsciiTextAreDecoded) {
    const RecipientXml recipient(R"(<field name="Näme">Zoë &amp; &#x1F600;</field>)");
    const auto field = readField(recipient.node().first_child());
    EXPECT_EQ(field->name, QStringLiteral("Näme"));
    EXPECT_EQ(field->value, QString::fromUtf16(u"Zoë & \U0001F600"));
}

TEST(RecipientFieldTest, EmptyElementHasAnEmptyValue) {
    const RecipientXml recipient(R"(<field name="Title"/>)");
    EXPECT_TRUE(readField(recipient.node().first_child())->value.isEmpty());
}

TEST(RecipientFieldTest, DeeplyNestedValueIsReadWithoutExhaustingTheStack) {
    std::string nested;
    constexpr int kDepth = 200000;
    for (int level = 0; level < kDepth; ++level) {
        nested += "<n>";
    }
    nested += "deep";
    for (int level = 0; level < kDepth; ++level) {
        nested += "</n>";
    }
    const RecipientXml recipient(R"(<field name="Deep">a)" + nested + "b</field>");
    EXPECT_EQ(readField(recipient.node().first_child())->value, QStringLiteral("adeepb"));
}

TEST(RecipientFieldTest, NodesThatAreNoElementsAreNoFields) {
    const RecipientXml recipient(R"(<!-- a comment -->text<![CDATA[c]]>)");
    int nodes = 0;
    for (const pugi::xml_node child : recipient.node().children()) {
        EXPECT_FALSE(readField(child)) << child.type();
        ++nodes;
    }
    EXPECT_EQ(nodes, 3);
}

TEST(RecipientFieldTest, ElementWithoutAttributesIsAnError) {
    const RecipientXml recipient(R"(<field>Ann</field>)");
    try {
        (void)readField(recipient.node().first_child());
        ADD_FAILURE() << "no error";
    } catch (const core::Error& error) {
        EXPECT_EQ(error.description(), QStringLiteral("The field element <field> has no attribute to give its name"));
    }
}

struct Unwrapping {
    const char* name;
    const char16_t* value;
    const char16_t* expected;
};

void PrintTo(const Unwrapping& row, std::ostream* out) {
    *out << row.name;
}

class RecipientFieldCdataTest : public testing::TestWithParam<Unwrapping> {};

TEST_P(RecipientFieldCdataTest, Unwraps) {
    EXPECT_EQ(unwrapCdata(QString::fromUtf16(GetParam().value)), QString::fromUtf16(GetParam().expected));
}

const auto kUnwrappings = std::to_array<Unwrapping>({
    {"Wrapped", u"CDATA[Smith]", u"Smith"},
    {"AnyLetterCase", u"cdata[Smith]", u"Smith"},
    {"PrefixOfAWord", u"cdatabase", u"as"},
    {"WrappingNothing", u"CDATA[]", u""},
    {"SixCharactersStay", u"CDATA[", u"CDATA["},
    {"FiveCharactersStay", u"CDATA", u"CDATA"},
    {"OtherValuesStay", u"Smith", u"Smith"},
    {"CdataLaterInTheValueStays", u"xCDATA[Smith]", u"xCDATA[Smith]"},
    {"EmptyValue", u"", u""},
});

INSTANTIATE_TEST_SUITE_P(Values, RecipientFieldCdataTest, testing::ValuesIn(kUnwrappings),
                         [](const testing::TestParamInfo<Unwrapping>& named) { return std::string(named.param.name); });

TEST(RecipientFieldsTest, FirstMatchingFieldInDocumentOrderDecides) {
    const RecipientXml recipient(
        R"(<f n="LastName">Smith</f><!-- c --><f n="FirstName"/><f n="firstname">Bob</f><f n="Nick">CDATA[Al]</f>)");
    const RecipientFields fields(recipient.node());
    EXPECT_EQ(fields.valueOf(QStringLiteral("First*")), QString());
    EXPECT_EQ(fields.valueOf(QStringLiteral("LASTNAME")), QStringLiteral("Smith"));
    EXPECT_EQ(fields.valueOf(QStringLiteral("Nick")), QStringLiteral("Al"));
    EXPECT_EQ(fields.valueOf(QStringLiteral("Title")), std::nullopt);
}

TEST(RecipientFieldsTest, UnreadableFieldFailsOnlyWhenTheLookUpReachesIt) {
    const RecipientXml recipient(R"(<f n="FirstName">Ann</f><field>x</field><f n="LastName">Smith</f>)");
    const RecipientFields fields(recipient.node());
    EXPECT_EQ(fields.valueOf(QStringLiteral("FirstName")), QStringLiteral("Ann"));
    EXPECT_THROW((void)fields.valueOf(QStringLiteral("LastName")), core::Error);
}

TEST(RecipientFieldsTest, InvalidPatternFailsOnlyWhenThereIsAFieldToCompare) {
    EXPECT_EQ(RecipientFields(RecipientXml("<!-- none -->").node()).valueOf(QStringLiteral("[a")), std::nullopt);
    EXPECT_THROW((void)RecipientFields(RecipientXml(R"(<f n="a">x</f>)").node()).valueOf(QStringLiteral("[a")),
                 core::Error);
}

} // namespace
} // namespace quillmark::sending
