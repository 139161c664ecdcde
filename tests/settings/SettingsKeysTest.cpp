#include "settings/SettingsKeys.h"

#include "core/Error.h"
#include "settings/ApplicationName.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace quillmark::settings {
namespace {

// Each test works under a profile of its own name in the process's shared store.
class SettingsKeysTest : public testing::Test {
protected:
    void SetUp() override {
        profile =
            applicationNameForProfile(QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name()));
        setApplicationName(profile);
    }
    void TearDown() override { setApplicationName(QString()); }

    QString profile;
};

TEST_F(SettingsKeysTest, AnEmptyProfileReadsTheDefaults) {
    EXPECT_EQ(read(keys::SendState), QStringLiteral("Idle"));
    EXPECT_EQ(read(keys::RecipientIndex), 0);
    EXPECT_EQ(read(keys::SendMessageEveryNSeconds), 0);
    EXPECT_EQ(read(keys::EmailWhenFinished), 1);
    EXPECT_EQ(read(keys::ReportWanted), 1);
    EXPECT_EQ(read(keys::LogFileWanted), 0);
    EXPECT_EQ(read(keys::DisplayFirstMessage), 1);
    EXPECT_EQ(read(keys::IncludeAllRecipientsInReport), 1);
    EXPECT_EQ(read(keys::PerformSendReceiveWanted), 0);
    EXPECT_EQ(read(keys::PerformSendReceive), 0);
    EXPECT_EQ(read(keys::DeleteSentItems), 0);
    EXPECT_EQ(read(keys::DataFilePath), QString());
    EXPECT_EQ(read(keys::OutlookVersion), QString());
    EXPECT_EQ(read(keys::CurrentProfile), QString());
    EXPECT_EQ(read(keys::EXEPriorityName, QStringLiteral("Idle")), QStringLiteral("Idle"));
    EXPECT_THROW((void)read(keys::EXEPriorityName), core::Error) << "a key without a default needs the caller's";

    const QString folder = test::testHome() + QStringLiteral("/data/tollmere/");
    EXPECT_EQ(defaultAppDataFolder(), folder);
    EXPECT_EQ(read(keys::AppDataFolder), folder);
    EXPECT_EQ(read(keys::LogFilePathName), folder + QStringLiteral("TollmereLog.txt"));
    EXPECT_TRUE(SettingsStore::shared().list(profile).empty()) << "reading must never write a default";
}

TEST_F(SettingsKeysTest, WritesLandUnderTheProfileAndSectionOfTheirKey) {
    write(keys::RecipientIndex, -1);
    write(keys::SendState, QStringLiteral("Sending"));
    write(keys::AppDataFolder, QStringLiteral("/srv/logs"));
    EXPECT_EQ(GetSetting(profile, QStringLiteral("Quillmark"), QStringLiteral("RecipientIndex"), QStringLiteral("?")),
              QStringLiteral("-1"));
    EXPECT_EQ(read(keys::RecipientIndex), -1);
    EXPECT_EQ(GetSetting(profile, QStringLiteral("Tollmere"), QStringLiteral("AppDataFolder"), QString()),
              QStringLiteral("/srv/logs"));
    EXPECT_EQ(read(keys::LogFilePathName), QStringLiteral("/srv/logsTollmereLog.txt"))
        << "the log file name is glued to the folder as written";

    // CurrentProfile lives under the maker's own application, outside every profile.
    write(keys::CurrentProfile, QStringLiteral("Tollmere - Work"));
    EXPECT_EQ(
        GetSetting(QStringLiteral("Tollmere"), QStringLiteral("Tollmere"), QStringLiteral("CurrentProfile"), QString()),
        QStringLiteral("Tollmere - Work"));
    write(keys::CurrentProfile, QString());
}

TEST_F(SettingsKeysTest, TwoProfilesKeepTheirOwnProgressAndLogSettings) {
    const QString other = profile + QStringLiteral(" (other)");
    write(keys::SendState, QStringLiteral("Paused"));
    write(keys::RecipientIndex, 7);
    write(keys::LogFileWanted, 1);
    writeFor(other, keys::SendState, QStringLiteral("Sending"));

    EXPECT_EQ(readFor(other, keys::SendState), QStringLiteral("Sending"));
    EXPECT_EQ(readFor(other, keys::RecipientIndex), 0);
    EXPECT_EQ(readFor(other, keys::LogFileWanted), 0);
    EXPECT_EQ(read(keys::SendState), QStringLiteral("Paused"));
    EXPECT_EQ(read(keys::RecipientIndex), 7);
    EXPECT_EQ(read(keys::LogFileWanted), 1);
}

TEST_F(SettingsKeysTest, IntegerReadsReportWhatIsWrongWithTheStoredText) {
    SaveSetting(profile, QStringLiteral("Quillmark"), QStringLiteral("SendMessageEveryNSeconds"), QStringLiteral("5s"));
    SaveSetting(profile, QStringLiteral("Quillmark"), QStringLiteral("RecipientIndex"), QStringLiteral("3000000000"));
    try {
        (void)read(keys::SendMessageEveryNSeconds);
        ADD_FAILURE() << "\"5s\" read as a number";
    } catch (const core::Error& error) {
        EXPECT_EQ(error.description(), QStringLiteral("Type mismatch"));
    }
    try {
        (void)read(keys::RecipientIndex);
        ADD_FAILURE() << "3000000000 read as a 32-bit number";
    } catch (const core::Error& error) {
        EXPECT_EQ(error.description(), QStringLiteral("Overflow"));
    }
    EXPECT_EQ(GetSetting(profile, QStringLiteral("Quillmark"), QStringLiteral("Missing"), 64), QStringLiteral("64"));
}

} // namespace
} // namespace quillmark::settings
