#include "diagnostics/Logging.h"

#include "core/Executable.h"
#include "diagnostics/CLog.h"
#include "diagnostics/ErrorBox.h"
#include "diagnostics/Timestamp.h"
#include "settings/ApplicationName.h"
#include "settings/Settings.h"
#include "settings/SettingsKeys.h"
#include "support/TestHome.h"
#include "support/TextFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quillmark::diagnostics {
namespace {

using settings::keys::AppDataFolder;
using settings::keys::LogFilePathName;
using settings::keys::LogFileWanted;
using settings::keys::ReportWanted;
using test::fieldsOf;
using test::readCrLfLines;

struct Box {
    QString text;
    QString caption;
};

// Each test logs under a profile and into a folder of its own, and records every error box.
class LoggingTest : public testing::Test {
protected:
    void SetUp() override {
        const QString name = QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name());
        folder = test::testHome() + QStringLiteral("/logs/") + name + QLatin1Char('/');
        QDir().mkpath(folder);
        settings::setApplicationName(settings::applicationNameForProfile(name));
        settings::write(AppDataFolder, folder);
        setErrorBoxHandler([this](const QString& text, const QString& caption) { boxes.push_back({text, caption}); });
        setReportNameSource([this] { return reportName; });
    }
    void TearDown() override {
        setErrorBoxHandler({});
        setReportNameSource({});
        settings::setApplicationName(QString());
    }

    [[nodiscard]] QStringList logLines() const { return readCrLfLines(folder + QStringLiteral("TollmereLog.txt")); }
    [[nodiscard]] QStringList reportLines() const {
        return readCrLfLines(folder + reportName + QStringLiteral(".txt"));
    }

    QString folder;
    QString reportName = QStringLiteral("Spring Sale");
    std::vector<Box> boxes;
};

TEST_F(LoggingTest, NothingIsWrittenBeforeTheApplicationNameIsKnown) {
    settings::write(LogFileWanted, 1);
    settings::setApplicationName(QString());
    LogMessage(QStringLiteral("Timer"), QStringLiteral("lost"));
    LogError(QStringLiteral("lost too"), QStringLiteral("X.Timer"));
    LogProductMessage(QStringLiteral("MyReplace"), QStringLiteral("lost as well"));
    EXPECT_TRUE(logLines().isEmpty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoggingTest, DefaultsDropInformationButKeepErrorsAndReports) {
    LogMessage(QStringLiteral("Timer"), QStringLiteral("dropped"));
    const QString before = nowText();
    LogError(QStringLiteral("Error occurred at line 4.  Reason: broken"), QStringLiteral("App.Timer"));
    const QString after = nowText();
    LogReport(QStringLiteral("Successfully sent to ann@example.com"));

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    const QStringList fields = fieldsOf(lines[0]);
    ASSERT_EQ(fields.size(), 4);
    EXPECT_TRUE(fields[0] == before || fields[0] == after) << qPrintable(fields[0]);
    EXPECT_EQ(fields[1], core::executableName());
    EXPECT_EQ(fields[2], QStringLiteral("App.Timer"));
    EXPECT_EQ(fields[3], QStringLiteral("Error occurred at line 4.  Reason: broken"));

    const QStringList report = reportLines();
    ASSERT_EQ(report.size(), 1);
    EXPECT_EQ(fieldsOf(report[0]).size(), 2);
    EXPECT_EQ(fieldsOf(report[0])[1], QStringLiteral("Successfully sent to ann@example.com"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoggingTest, WantedLogTakesEveryKindOfLineAndReportCopies) {
    settings::write(LogFileWanted, 1);
    LogMessage(QStringLiteral("Timer"), QStringLiteral("Delaying 5 seconds"));
    LogProductMessage(QStringLiteral("MyReplace"), QStringLiteral("*** Now working with keyword: FirstName"));
    LogReport(QStringLiteral("*** Starting New Campaign ***"));
    LogMessage(QStringLiteral("Timer"), QStringLiteral("with\ttab and\r\nline end"));

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 5) << "a message's own CR LF splits its line";
    EXPECT_EQ(fieldsOf(lines[0]).mid(1),
              (QStringList{core::executableName(), QStringLiteral("Timer"), QStringLiteral("Delaying 5 seconds")}));
    EXPECT_EQ(fieldsOf(lines[1])[1], QStringLiteral("Quillmark"));
    EXPECT_EQ(fieldsOf(lines[2]).mid(1), (QStringList{core::executableName(), QStringLiteral("Report"),
                                                      QStringLiteral("*** Starting New Campaign ***")}));
    EXPECT_EQ(fieldsOf(lines[3]).mid(3), (QStringList{QStringLiteral("with"), QStringLiteral("tab and")}));
    EXPECT_EQ(lines[4], QStringLiteral("line end"));
    EXPECT_EQ(reportLines().size(), 1);
}

TEST_F(LoggingTest, ReportsCanBeSwitchedOffWhileTheLogCopyStays) {
    settings::write(LogFileWanted, 1);
    settings::write(ReportWanted, 0);
    LogReport(QStringLiteral("Failed to send to bob@example.com"));
    EXPECT_FALSE(QFile::exists(folder + reportName + QStringLiteral(".txt")));
    ASSERT_EQ(logLines().size(), 1);
    EXPECT_EQ(fieldsOf(logLines()[0])[2], QStringLiteral("Report"));
}

TEST_F(LoggingTest, ReportFilesAppendAndAnEmptyNameStillWrites) {
    LogReport(QStringLiteral("first"));
    LogReport(QStringLiteral("second"));
    EXPECT_EQ(reportLines().size(), 2) << "a report is appended to, never restarted";
    reportName.clear();
    LogReport(QStringLiteral("no campaign"));
    EXPECT_EQ(readCrLfLines(folder + QStringLiteral(".txt")).size(), 1);
}

TEST_F(LoggingTest, FolderValuesAreUsedAsWrittenAndAnExplicitLogPathWins) {
    const QString glued = folder + QStringLiteral("Logs");
    settings::write(AppDataFolder, glued);
    LogError(QStringLiteral("glued"), QStringLiteral("S"));
    EXPECT_EQ(readCrLfLines(glued + QStringLiteral("TollmereLog.txt")).size(), 1);
    LogReport(QStringLiteral("glued report"));
    EXPECT_EQ(readCrLfLines(glued + reportName + QStringLiteral(".txt")).size(), 1);

    const QString explicitPath = folder + QStringLiteral("elsewhere.log");
    settings::write(LogFilePathName, explicitPath);
    LogError(QStringLiteral("explicit"), QStringLiteral("S"));
    EXPECT_EQ(readCrLfLines(explicitPath).size(), 1);
    EXPECT_EQ(readCrLfLines(glued + QStringLiteral("TollmereLog.txt")).size(), 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoggingTest, AMissingFolderShowsOneBoxPerLineAndIsNeverCreated) {
    const QString missing = folder + QStringLiteral("missing/");
    settings::write(AppDataFolder, missing);
    LogError(QStringLiteral("one"), QStringLiteral("S"));
    LogError(QStringLiteral("two"), QStringLiteral("S"));
    ASSERT_EQ(boxes.size(), 2U);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Error occurred during logging.  Reason: ")))
        << qPrintable(boxes[0].text);
    EXPECT_TRUE(boxes[0].text.contains(missing + QStringLiteral("TollmereLog.txt")));
    EXPECT_EQ(boxes[0].caption, core::executableName() + QStringLiteral(".SaveMessage"));

    boxes.clear();
    settings::write(LogFileWanted, 1);
    LogReport(QStringLiteral("lost"));
    ASSERT_EQ(boxes.size(), 1U) << "a failed report line is not copied to the log";
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Error occurred during reporting.  Reason: ")));
    EXPECT_TRUE(boxes[0].text.endsWith(QStringLiteral("\r\nTrying to write to ") + missing + reportName +
                                       QStringLiteral(".txt")));
    EXPECT_EQ(boxes[0].caption, core::executableName() + QStringLiteral(".SaveReportMessage"));
    EXPECT_FALSE(QDir(missing).exists());
}

TEST_F(LoggingTest, UnreadableSettingsAreReportedLikeWriteFailures) {
    settings::SaveSetting(settings::applicationName(), QStringLiteral("Tollmere"), QStringLiteral("LogFileWanted"),
                          QStringLiteral("yes"));
    LogMessage(QStringLiteral("S"), QStringLiteral("x"));
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error occurred during logging.  Reason: Type mismatch"));

    settings::SaveSetting(settings::applicationName(), QStringLiteral("Quillmark"), QStringLiteral("ReportWanted"),
                          QStringLiteral("on"));
    LogReport(QStringLiteral("x"));
    ASSERT_EQ(boxes.size(), 2U);
    EXPECT_EQ(boxes[1].text, QStringLiteral("Error occurred during reporting.  Reason: Type mismatch\r\n"
                                            "Trying to write to "));
}

TEST(LoggingDefaultFolderTest, TheDefaultFolderIsCreatedWhenFirstNeeded) {
    settings::setApplicationName(QStringLiteral("Tollmere - DefaultFolder"));
    const QString folder = settings::defaultAppDataFolder();
    QDir(folder).removeRecursively();
    LogError(QStringLiteral("first line"), QStringLiteral("S"));
    EXPECT_EQ(readCrLfLines(folder + QStringLiteral("TollmereLog.txt")).size(), 1);
    settings::setApplicationName(QString());
}

TEST(CLogTest, TruncateDoesNothing) {
    CLog log;
    EXPECT_FALSE(log.Truncate(QVariant(5)));
}

} // namespace
} // namespace quillmark::diagnostics
