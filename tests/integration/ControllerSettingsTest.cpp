#include "settings/SettingsStore.h"
#include "support/Processes.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

using test::runController;

QStringList settingsCommand(std::initializer_list<QString> arguments) {
    return QStringList{QStringLiteral("settings")} + QStringList(arguments);
}

TEST(ControllerSettingsTest, GetOfAMissingKeyFailsWithoutInventingADefault) {
    const auto result = runController(settingsCommand({QStringLiteral("get"), QStringLiteral("Tollmere - Nobody"),
                                                       QStringLiteral("Quillmark"), QStringLiteral("SendState")}));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardOutput.isEmpty()) << qPrintable(result.standardOutput);
    EXPECT_TRUE(result.standardError.startsWith(QStringLiteral("quillmark: no setting \"SendState\"")))
        << qPrintable(result.standardError);
    EXPECT_EQ(result.standardError.count(QLatin1Char('\n')), 1) << "one line on standard error";
}

TEST(ControllerSettingsTest, SetGetAndListRoundTripExactValues) {
    const QString app = QStringLiteral("Tollmere - Round Trip");
    const QString value = QStringLiteral("  Zoë's \"campaign\"  ");
    auto result = runController(settingsCommand(
        {QStringLiteral("set"), app, QStringLiteral("Quillmark"), QStringLiteral("DataFilePath"), value}));
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);

    result = runController(settingsCommand({QStringLiteral("get"), QStringLiteral("tollmere - round trip"),
                                            QStringLiteral("QUILLMARK"), QStringLiteral("datafilepath")}));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput, value + QLatin1Char('\n'));

    EXPECT_EQ(settings::SettingsStore::shared().find(app, QStringLiteral("Quillmark"), QStringLiteral("DataFilePath")),
              value)
        << "the controller writes the store this process reads";

    result = runController(settingsCommand({QStringLiteral("list"), app}));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardOutput, app + QStringLiteral("\n  Quillmark  DataFilePath  ") + value + QLatin1Char('\n'));

    result = runController(settingsCommand({QStringLiteral("list"), QStringLiteral("Tollmere - Empty")}));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.standardOutput.startsWith(QStringLiteral("No settings stored for \"Tollmere - Empty\"")));
}

TEST(ControllerSettingsTest, IncompleteCommandsAreRefused) {
    for (const auto& arguments :
         {QStringList{}, settingsCommand({QStringLiteral("get"), QStringLiteral("A")}),
          settingsCommand({QStringLiteral("set"), QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("K")}),
          settingsCommand({QStringLiteral("frobnicate")})}) {
        const auto result = runController(arguments);
        EXPECT_NE(result.exitCode, 0) << qPrintable(arguments.join(QLatin1Char(' ')));
        EXPECT_FALSE(result.standardError.isEmpty());
    }
}

} // namespace
} // namespace quillmark
