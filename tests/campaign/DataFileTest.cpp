#include "campaign/DataFile.h"

#include "core/Error.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quillmark::campaign {
namespace {

class DataFileTest : public testing::Test {
protected:
    QString write(const char* name, const QByteArray& content) {
        const QString folder = test::testHome() + QStringLiteral("/datafiles/");
        QDir().mkpath(folder);
        const QString path = folder + QLatin1String(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        return path;
    }
};

TEST_F(DataFileTest, RecipientsAreTheCampaignsChildNodesCommentsIncluded) {
    const auto file = DataFile::load(write("plain.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<campaign MessageClass="IPM.Note">
  <recipient address="ann@example.com"><field name="FirstName">Ann</field></recipient>
  <!-- paused: bob asked to be left out -->
  <recipient address=" bob@example.com "/>
</campaign>)"));
    ASSERT_TRUE(file.isLoaded());
    EXPECT_EQ(file.messageClass(), QStringLiteral("IPM.Note"));
    const auto list = file.recipients();
    ASSERT_EQ(list->length(), 3);
    EXPECT_STREQ(list->item(0).attribute("address").value(), "ann@example.com");
    EXPECT_EQ(list->item(1).type(), pugi::node_comment);
    EXPECT_STREQ(list->item(2).attribute("address").value(), " bob@example.com ");
    EXPECT_TRUE(list->item(3).empty());
    EXPECT_TRUE(list->item(-1).empty());
}

TEST_F(DataFileTest, TheFirstCampaignInDocumentOrderIsUsedAtAnyDepth) {
    const auto file = DataFile::load(write("nested.xml", R"(<export>
  <meta><campaign MessageClass="IPM.Appointment"><a address="x@example.com"/></campaign></meta>
  <campaign MessageClass="IPM.Note"><a/><b/></campaign>
</export>)"));
    EXPECT_EQ(file.messageClass(), QStringLiteral("IPM.Appointment"));
    EXPECT_EQ(file.recipients()->length(), 1);
}

TEST_F(DataFileTest, EmptyCampaignsAndMissingPartsAreToldApart) {
    const auto empty = DataFile::load(write("empty.xml", R"(<campaign MessageClass="IPM.Note">  </campaign>)"));
    EXPECT_EQ(empty.recipients()->length(), 0);

    const auto noClass = DataFile::load(write("noclass.xml", R"(<campaign><r address="a@example.com"/></campaign>)"));
    EXPECT_THROW((void)noClass.messageClass(), core::Error);

    const auto noCampaign = DataFile::load(write("nocampaign.xml", R"(<Campaign MessageClass="IPM.Note"/>)"));
    ASSERT_TRUE(noCampaign.isLoaded());
    EXPECT_TRUE(noCampaign.campaignElement().empty()) << "the element name matches exactly";
}

TEST_F(DataFileTest, UnreadableFilesGiveTheParsersCode) {
    const auto missing = DataFile::load(test::testHome() + QStringLiteral("/no/such/file.xml"));
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_NE(missing.errorCode(), 0);
    EXPECT_FALSE(missing.errorDescription().isEmpty());
    EXPECT_TRUE(missing.campaignElement().empty());

    const auto broken = DataFile::load(write("broken.xml", R"(<campaign MessageClass="IPM.Note"><r></campaign>)"));
    EXPECT_FALSE(broken.isLoaded());
    EXPECT_NE(broken.errorCode(), 0);
}

TEST_F(DataFileTest, EncodingsLoadAndEntitiesAreNeverExpanded) {
    const auto latin1 = DataFile::load(
        write("latin1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><campaign MessageClass=\"Caf\xe9\"/>"));
    EXPECT_EQ(latin1.messageClass(), QStringLiteral("Café"));

    const QString utf16Text =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><campaign MessageClass=\"Zoë\"/>");
    QByteArray utf16("\xff\xfe", 2);
    utf16.append(reinterpret_cast<const char*>(utf16Text.utf16()), utf16Text.size() * 2);
    EXPECT_EQ(DataFile::load(write("utf16.xml", utf16)).messageClass(), QStringLiteral("Zoë"));

    const auto entity = DataFile::load(write("entity.xml", R"(<!DOCTYPE campaign [
  <!ENTITY secret SYSTEM "file:///etc/passwd">
  <!ENTITY lol "lollollollollollollol">
]><campaign MessageClass="&lol;"><r address="&secret;"/></campaign>)"));
    ASSERT_TRUE(entity.isLoaded());
    EXPECT_EQ(entity.messageClass(), QStringLiteral("&lol;"));
    EXPECT_STREQ(entity.recipients()->item(0).attribute("address").value(), "&secret;");
}

} // namespace
} // namespace quillmark::campaign
