#include "campaign/CampaignFiles.h"

#include <gtest/gtest.h>

namespace quillmark::campaign {
namespace {

TEST(CampaignFilesTest, TheTemplateSitsBesideTheDataFile) {
    EXPECT_EQ(templatePathFor(QStringLiteral("/home/ann/Spring.XML")), QStringLiteral("/home/ann/Spring.oft"));
    EXPECT_EQ(templatePathFor(QStringLiteral("/data/a.xml.d/Spring.xml")), QStringLiteral("/data/a.oft.d/Spring.oft"))
        << "every occurrence is replaced, folders included";
    EXPECT_EQ(templatePathFor(QStringLiteral("/data/Spring.txt")), QStringLiteral("/data/Spring.txt"));
    EXPECT_EQ(templatePathFor(QString()), QString());
}

TEST(CampaignFilesTest, TheSanitiserRemovesExactlyTheNineCharacters) {
    EXPECT_EQ(SanitizeFileName(QStringLiteral("Q1: Sales/Marketing")), QStringLiteral("Q1 SalesMarketing"));
    EXPECT_EQ(SanitizeFileName(QStringLiteral("a\\b/c:d*e?f\"g<h>i|j")), QStringLiteral("abcdefghij"));
    EXPECT_EQ(SanitizeFileName(QStringLiteral(" Zoë's  offer. ")), QStringLiteral(" Zoë's  offer. "))
        << "spaces, dots and other characters stay";
    EXPECT_EQ(SanitizeFileName(QStringLiteral("\t..")), QStringLiteral("\t.."));
    EXPECT_EQ(SanitizeFileName(QString()), QString());
}

} // namespace
} // namespace quillmark::campaign
