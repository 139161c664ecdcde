#include "mail/PlainRendition.h"

#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

QString plain(const char* html) {
    return PlainRendition::fromHtml(QString::fromUtf8(html));
}

TEST(PlainRenditionTest, MarkupBecomesTheLinesAReaderSees) {
    EXPECT_EQ(plain("<html><head><title>T</title><style>p { color: red }</style></head>"
                    "<body><!-- hidden --><h1>Spring</h1><p>Dear\r\n  <b>Zoë</b>,</p>"
                    "<ul><li>one<li>two</ul><table><tr><td>a</td><th>b</th></tr></table>"
                    "<p>line<br/>break<BR>again</p><SCRIPT>x()</SCRIPT></body></html>"),
              QStringLiteral("Spring\r\n\r\nDear Zoë,\r\n\r\n- one\r\n- two\r\n\r\na b\r\n\r\nline\r\nbreak\r\nagain"));
    // An element that is never closed is not hidden: its text stays.
    EXPECT_EQ(plain("<p>before</p><style>kept"), QStringLiteral("before\r\n\r\nkept"));
    EXPECT_EQ(plain("<header>shown</header><headline>too</headline>"), QStringLiteral("showntoo"));
}

TEST(PlainRenditionTest, ALessThanSignThatOpensNoTagIsText) {
    EXPECT_EQ(plain("<p>price < 5 and x > 3</p>"), QStringLiteral("price < 5 and x > 3"));
    EXPECT_EQ(plain("a <= b, <3 and <<b>bold</b>"), QStringLiteral("a <= b, <3 and <bold"));
    EXPECT_EQ(plain("unclosed <b"), QStringLiteral("unclosed <b"));
    // An unclosed comment is a tag up to the next ">"; an unclosed style element is just its tag.
    EXPECT_EQ(plain("a<!--b<!--c<style>d<style>e"), QStringLiteral("ade"));
    EXPECT_EQ(plain("a<!--b<!--c"), QStringLiteral("a<!--b<!--c"));
    EXPECT_EQ(plain("1 &lt;p&gt; 2"), QStringLiteral("1 <p> 2")); // decoded text is never markup
}

TEST(PlainRenditionTest, EntitiesAreDecodedOnlyWhenWellFormed) {
    EXPECT_EQ(plain("&amp;&LT;&#65;&#x42;&#X43;&euro;&nbsp;x"), QStringLiteral("&<ABC€ x"));
    EXPECT_EQ(plain("&bogus; &a; &abcdefghi; &#; &#x; &#12345678; & ;"),
              QStringLiteral("&bogus; &a; &abcdefghi; &#; &#x; &#12345678; & ;"));
    EXPECT_EQ(plain("[&#0;][&#x110000;]&&amp;"), QStringLiteral("[][]&&"));
}

TEST(PlainRenditionTest, SpacesCollapseAndBlankLinesAreKeptOnlyBetweenText) {
    EXPECT_EQ(plain("<p></p><p>  a \t\xc2\xa0 b  </p><div></div><div></div><p>c</p><p></p>"),
              QStringLiteral("a b\r\n\r\nc"));
    EXPECT_EQ(plain(""), QString());
    EXPECT_EQ(PlainRendition::fromRtf(QStringLiteral("{\\rtf1 \\par\\par  one  \\par\\par\\par two\\par}")),
              QStringLiteral("one\r\n\r\ntwo"));
}

} // namespace
} // namespace quillmark::mail
