// The controller's sender commands as a user runs them: status, the numbered commands and
// send, each in a real `quillmark` process against its own settings store. A stand-in sender
// (a window with a command server in this test process) answers where a live one is needed.
#include "ipc/CommandServer.h"
#include "ipc/WindowMessages.h"
#include "settings/SettingsStore.h"
#include "support/Processes.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

namespace quillmark {
namespace {

const QString kApp = QStringLiteral("Tollmere - Local");
const QString kProduct = QStringLiteral("Quillmark");
using ControllerRun = test::ProcessResult;

// The test's stand-in for a running sender: records the commands its window receives; on
// suspend it stores "Suspended" and stops listening, as a sender that exits would.
struct FakeSender {
    static inline std::vector<std::int32_t> codes;
    static inline settings::SettingsStore* store = nullptr;
    static inline std::unique_ptr<ipc::CommandServer> server;
    static inline QObject* window = nullptr; // the timer's context: a stop left pending dies with it

    static std::int32_t procedure(ipc::WindowHandle, std::uint32_t uMsg, std::int32_t wParam, std::intptr_t) {
        if (uMsg == ipc::WM_COPYDATA) {
            codes.push_back(wParam);
            if (wParam == 2) {
                store->save(kApp, kProduct, QStringLiteral("SendState"), QStringLiteral("Suspended"));
                QTimer::singleShot(0, window, [] { server.reset(); });
            }
        }
        return 0;
    }
};

class ControllerSenderTest : public testing::Test {
protected:
    void SetUp() override {
        QString name = QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name());
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        folder = test::testHome() + QStringLiteral("/controller-sender/") + name + QLatin1Char('/');
        // A store of its own per test: what one test's controller writes, no other test sees.
        QDir(folder).removeRecursively(); // a repeated run starts afresh too
        const QString configHome = folder + QStringLiteral("config");
        QDir().mkpath(configHome);
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        store = std::make_unique<settings::SettingsStore>(configHome + QStringLiteral("/tollmere/settings.db"));
    }

    void TearDown() override {
        FakeSender::server.reset();
        FakeSender::codes.clear();
        FakeSender::store = nullptr;
        FakeSender::window = nullptr;
        fakeWindow.reset();
    }

    // Runs the controller to its end while this process's event loop keeps serving the
    // stand-in sender.
    ControllerRun run(const QStringList& arguments) {
        test::ProcessOptions options;
        options.environment = environment;
        options.workingDirectory = folder;
        options.serveEvents = true;
        return test::runProgram(test::controllerPath(), arguments, options);
    }

    void write(const QString& name, const QByteArray& content) {
        QFile file(folder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    void writeCampaign() {
        write(QStringLiteral("Offer.xml"), "<campaign MessageClass=\"IPM.Note\"><r address=\"a@example.com\"/>"
                                           "<r address=\"b@example.com\"/><r address=\"c@example.com\"/></campaign>");
        write(QStringLiteral("Offer.oft"),
              "Subject: Offer: for you?\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nHello\r\n");
    }

    [[nodiscard]] QString dataFile() const { return folder + QStringLiteral("Offer.xml"); }

    QString setting(const QString& key) {
        return store->find(kApp, kProduct, key).value_or(QStringLiteral("<missing>"));
    }

    void save(const QString& key, const QString& value) { store->save(kApp, kProduct, key, value); }

    // Whether, within 10 seconds, status reports the sender with a line containing `words`.
    bool waitForSender(const QString& words) {
        QElapsedTimer elapsed;
        elapsed.start();
        do {
            const QString line = run({QStringLiteral("status")}).standardOutput.section(QLatin1Char('\n'), -2, -2);
            if (line.contains(words)) {
                return true;
            }
            QThread::msleep(50);
        } while (elapsed.elapsed() < 10000);
        return false;
    }

    // Whether, within 10 seconds, the stored state becomes `state`.
    bool waitForState(const QString& state) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (setting(QStringLiteral("SendState")) != state) {
            if (elapsed.elapsed() > 10000) {
                return false;
            }
            QThread::msleep(50);
        }
        return true;
    }

    // Everything stored under the profile, key by key.
    std::map<QString, QString> profileSettings() {
        std::map<QString, QString> values;
        for (const auto& entry : store->list(kApp)) {
            values[entry.section + QLatin1Char('/') + entry.key] = entry.value;
        }
        return values;
    }

    // Puts a stand-in sender on the air for `window` and publishes it.
    void startFakeSender(ipc::WindowHandle window) {
        fakeWindow = std::make_unique<QObject>();
        ipc::registerWindow(fakeWindow.get(), window, &FakeSender::procedure);
        FakeSender::store = store.get();
        FakeSender::window = fakeWindow.get();
        FakeSender::server = std::make_unique<ipc::CommandServer>(window);
        save(QStringLiteral("ExternalQuillmarkHwnd"), QString::number(window));
    }

    QString folder;
    QProcessEnvironment environment;
    std::unique_ptr<settings::SettingsStore> store;
    std::unique_ptr<QObject> fakeWindow;
};

void expectOneErrorLine(const ControllerRun& result, const QString& start) {
    EXPECT_EQ(result.exitCode, 1) << qPrintable(result.standardOutput);
    EXPECT_TRUE(result.standardError.startsWith(QStringLiteral("quillmark: ") + start))
        << qPrintable(result.standardError);
    EXPECT_EQ(result.standardError.count(QLatin1Char('\n')), 1) << qPrintable(result.standardError);
    EXPECT_TRUE(result.standardError.endsWith(QLatin1Char('\n')));
}

TEST_F(ControllerSenderTest, StatusOfAnEmptyStore) {
    const auto result = run({QStringLiteral("status")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_EQ(result.standardOutput, QStringLiteral("Profile:         Local\n"
                                                    "State:           Idle\n"
                                                    "Next recipient:  1 of unknown (index 0)\n"
                                                    "Data file:       none\n"
                                                    "Campaign:        none prepared\n"
                                                    "Sender:          not running (no window published)\n"));
    EXPECT_TRUE(result.standardError.isEmpty());
}

TEST_F(ControllerSenderTest, StatusOfAPreparedCampaign) {
    writeCampaign();
    save(QStringLiteral("DataFilePath"), dataFile());
    save(QStringLiteral("SendState"), QStringLiteral("Paused"));
    save(QStringLiteral("RecipientIndex"), QStringLiteral("2"));
    save(QStringLiteral("ExternalQuillmarkHwnd"), QStringLiteral("7001"));
    store->save(kApp, QStringLiteral("Tollmere"), QStringLiteral("AppDataFolder"), folder);

    const auto result = run({QStringLiteral("status"), QStringLiteral("--profile"), QStringLiteral("local")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_EQ(result.standardOutput,
              QStringLiteral("Profile:         Local\n"
                             "State:           Paused\n"
                             "Next recipient:  3 of 3 (index 2)\n"
                             "Data file:       %1\n"
                             "Campaign:        Offer: for you?\n"
                             "Report file:     %2Offer for you.txt (not written yet)\n"
                             "Sender:          not running (window 7001 was published; nothing listens for it)\n")
                  .arg(dataFile(), folder));

    save(QStringLiteral("RecipientIndex"), QStringLiteral("-1"));
    EXPECT_TRUE(
        run({QStringLiteral("status")}).standardOutput.contains(QStringLiteral("Next recipient:  none left\n")));
}

class ControllerChannelTest : public ControllerSenderTest, public testing::WithParamInterface<const char*> {};

TEST_P(ControllerChannelTest, FailsInOneLineWithoutASender) {
    const QString command = QString::fromLatin1(GetParam());
    expectOneErrorLine(run({command}), QStringLiteral("No Quillmark sender has published a window for profile Local"));

    save(QStringLiteral("ExternalQuillmarkHwnd"), QStringLiteral("7002"));
    expectOneErrorLine(run({command}), QStringLiteral("No Quillmark sender is running for profile Local (window 7002 "
                                                      "was published, but nothing listens for it)"));

    expectOneErrorLine(run({command, QStringLiteral("--profile"), QStringLiteral("Nobody")}),
                       QStringLiteral("The mail profile \"Nobody\" is not defined"));
}

TEST_P(ControllerChannelTest, ReachesARunningSender) {
    const QString command = QString::fromLatin1(GetParam());
    startFakeSender(7003);
    const auto result = run({command});
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_EQ(result.standardOutput,
              QStringLiteral("Sent '%1' to the Quillmark sender of profile Local (window 7003).\n").arg(command));
    const std::map<QString, std::int32_t> codes{{QStringLiteral("show"), 1},
                                                {QStringLiteral("suspend"), 2},
                                                {QStringLiteral("resume"), 3},
                                                {QStringLiteral("halt"), 4}};
    EXPECT_EQ(FakeSender::codes, std::vector<std::int32_t>{codes.at(command)});
}

INSTANTIATE_TEST_SUITE_P(Commands, ControllerChannelTest, testing::Values("show", "suspend", "resume", "halt"));

// One way to hand `send` something it must refuse.
struct BadSend {
    const char* name;
    const char* dataFile; // written beside the template unless null
    const char* templateFile;
    QStringList extra;
    const char* error; // the start of the error line, after "quillmark: "; %1 = the data file
};

void PrintTo(const BadSend& row, std::ostream* out) {
    *out << row.name;
}

class ControllerSendRefusalTest : public ControllerSenderTest, public testing::WithParamInterface<BadSend> {};

TEST_P(ControllerSendRefusalTest, RefusesInOneLineAndStoresNothing) {
    const BadSend& row = GetParam();
    if (row.dataFile != nullptr) {
        write(QStringLiteral("Offer.xml"), row.dataFile);
    }
    if (row.templateFile != nullptr) {
        write(QStringLiteral("Offer.oft"), row.templateFile);
    }
    QStringList arguments{QStringLiteral("send"), dataFile()};
    if (!row.extra.contains(QStringLiteral("--sender"))) {
        arguments << QStringLiteral("--sender") << QStringLiteral("/bin/true");
    }
    expectOneErrorLine(run(arguments + row.extra),
                       QString::fromUtf8(row.error).replace(QStringLiteral("%1"), dataFile()));
    EXPECT_TRUE(profileSettings().empty());
}

const char* const kGoodXml = "<campaign MessageClass=\"IPM.Note\"><r address=\"a@example.com\"/></campaign>";
const char* const kGoodTemplate = "Subject: Hi\r\n\r\nHello\r\n";

INSTANTIATE_TEST_SUITE_P(
    Matrix, ControllerSendRefusalTest,
    testing::Values(
        BadSend{"MissingDataFile", nullptr, kGoodTemplate, {}, "The data file %1 does not exist"},
        BadSend{"BrokenXml", "<campaign><r>", kGoodTemplate, {}, "Cannot read the data file %1: "},
        BadSend{"NoCampaignElement",
                "<list><r address=\"a@example.com\"/></list>",
                kGoodTemplate,
                {},
                "The data file %1 has no campaign element"},
        BadSend{"NoMessageClass",
                "<campaign/>",
                kGoodTemplate,
                {},
                "The campaign element of the data file has no MessageClass attribute"},
        BadSend{"MissingTemplate", kGoodXml, nullptr, {}, "The template message "},
        BadSend{"NegativeDelay",
                kGoodXml,
                kGoodTemplate,
                {QStringLiteral("--delay=-1")},
                "--delay (seconds) must be a whole number from 0 to 2147483, not \"-1\""},
        BadSend{"DelayNotANumber",
                kGoodXml,
                kGoodTemplate,
                {QStringLiteral("--delay"), QStringLiteral("soon")},
                "--delay (seconds) must be a whole number"},
        BadSend{"SendReceiveAfterZero",
                kGoodXml,
                kGoodTemplate,
                {QStringLiteral("--send-receive-after"), QStringLiteral("0")},
                "--send-receive-after must be a whole number from 1"},
        BadSend{
            "PriorityInOtherCase",
            kGoodXml,
            kGoodTemplate,
            {QStringLiteral("--priority"), QStringLiteral("high")},
            "--priority must be one of Idle, Below Normal, Normal, Above Normal, High, Realtime (written exactly so), "
            "not \"high\""},
        BadSend{"MissingSender",
                kGoodXml,
                kGoodTemplate,
                {QStringLiteral("--sender"), QStringLiteral("/nonexistent/QuillmarkExternal")},
                "The sender /nonexistent/QuillmarkExternal is not an executable file"}),
    [](const testing::TestParamInfo<BadSend>& row) { return std::string(row.param.name); });

TEST_F(ControllerSenderTest, SendStoresTheCampaignAndStartsTheSender) {
    writeCampaign();
    const auto result =
        run({QStringLiteral("send"), dataFile(), QStringLiteral("--sender"), QStringLiteral("/bin/true"),
             QStringLiteral("--delay"), QStringLiteral("7"), QStringLiteral("--no-report"),
             QStringLiteral("--no-notify"), QStringLiteral("--delete-sent"), QStringLiteral("--send-receive-after"),
             QStringLiteral("5"), QStringLiteral("--priority"), QStringLiteral("Below Normal")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_TRUE(result.standardOutput.startsWith(
        QStringLiteral("Prepared the campaign \"Offer: for you?\" (3 recipients, %1) for profile Local.\n"
                       "Started the Quillmark sender /bin/true (process ")
            .arg(dataFile())))
        << qPrintable(result.standardOutput);
    const std::map<QString, QString> expected{
        {QStringLiteral("Quillmark/DataFilePath"), dataFile()},
        {QStringLiteral("Quillmark/SendMessageEveryNSeconds"), QStringLiteral("7")},
        {QStringLiteral("Quillmark/ReportWanted"), QStringLiteral("0")},
        {QStringLiteral("Quillmark/EmailWhenFinished"), QStringLiteral("0")},
        {QStringLiteral("Quillmark/DeleteSentItems"), QStringLiteral("1")},
        {QStringLiteral("Quillmark/PerformSendReceiveWanted"), QStringLiteral("1")},
        {QStringLiteral("Quillmark/PerformSendReceive"), QStringLiteral("5")},
        {QStringLiteral("Quillmark/EXEPriorityName"), QStringLiteral("Below Normal")},
        {QStringLiteral("Quillmark/RecipientIndex"), QStringLiteral("0")},
        {QStringLiteral("Quillmark/SendState"), QStringLiteral("Sending")},
    };
    EXPECT_EQ(profileSettings(), expected);
    EXPECT_EQ(store->find(QStringLiteral("Tollmere"), QStringLiteral("Tollmere"), QStringLiteral("CurrentProfile")),
              std::optional<QString>(kApp));
}

TEST_F(ControllerSenderTest, SendWithoutOptionsStoresTheDefaultsAndRestartsTheCampaign) {
    writeCampaign();
    save(QStringLiteral("RecipientIndex"), QStringLiteral("-1"));
    save(QStringLiteral("SendState"), QStringLiteral("Completed"));
    const auto result = run(
        {QStringLiteral("send"), QStringLiteral("Offer.xml"), QStringLiteral("--sender"), QStringLiteral("/bin/true")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_EQ(setting(QStringLiteral("DataFilePath")), dataFile()); // made absolute
    EXPECT_EQ(setting(QStringLiteral("SendMessageEveryNSeconds")), QStringLiteral("0"));
    EXPECT_EQ(setting(QStringLiteral("ReportWanted")), QStringLiteral("1"));
    EXPECT_EQ(setting(QStringLiteral("EmailWhenFinished")), QStringLiteral("1"));
    EXPECT_EQ(setting(QStringLiteral("DeleteSentItems")), QStringLiteral("0"));
    EXPECT_EQ(setting(QStringLiteral("PerformSendReceiveWanted")), QStringLiteral("0"));
    EXPECT_EQ(setting(QStringLiteral("PerformSendReceive")), QStringLiteral("0"));
    EXPECT_EQ(setting(QStringLiteral("EXEPriorityName")), QStringLiteral("Idle"));
    EXPECT_EQ(setting(QStringLiteral("RecipientIndex")), QStringLiteral("0"));
    EXPECT_EQ(setting(QStringLiteral("SendState")), QStringLiteral("Sending"));
}

TEST_F(ControllerSenderTest, SendRefusesWhileASenderIsStillSending) {
    writeCampaign();
    startFakeSender(7004);
    save(QStringLiteral("SendState"), QStringLiteral("Sending"));
    save(QStringLiteral("DataFilePath"), QStringLiteral("/elsewhere/Running.xml"));
    const auto result =
        run({QStringLiteral("send"), dataFile(), QStringLiteral("--sender"), QStringLiteral("/bin/true")});
    expectOneErrorLine(
        result, QStringLiteral("A Quillmark sender is still sending a campaign for profile Local (window 7004)"));
    EXPECT_EQ(setting(QStringLiteral("DataFilePath")), QStringLiteral("/elsewhere/Running.xml"));
    EXPECT_TRUE(FakeSender::codes.empty());
}

TEST_F(ControllerSenderTest, SendEndsAnIdleSenderFirst) {
    writeCampaign();
    startFakeSender(7005);
    save(QStringLiteral("SendState"), QStringLiteral("Completed"));
    const auto result =
        run({QStringLiteral("send"), dataFile(), QStringLiteral("--sender"), QStringLiteral("/bin/true")});
    ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
    EXPECT_EQ(FakeSender::codes, std::vector<std::int32_t>{2});
    EXPECT_EQ(FakeSender::server, nullptr);
    EXPECT_EQ(setting(QStringLiteral("SendState")), QStringLiteral("Sending"));
    EXPECT_EQ(setting(QStringLiteral("DataFilePath")), dataFile());
}

// The real sender, started by send: the campaign runs to its end through the built-in Local
// profile. With --wait the finished sender is ended; without it, it stays and takes commands
// until it is suspended.
TEST_F(ControllerSenderTest, SendWaitsForARealSenderToComplete) {
    writeCampaign();
    store->save(kApp, QStringLiteral("Tollmere"), QStringLiteral("AppDataFolder"), folder);
    const auto sent =
        run({QStringLiteral("send"), dataFile(), QStringLiteral("--wait"), QStringLiteral("--no-notify")});
    ASSERT_EQ(sent.exitCode, 0) << qPrintable(sent.standardError);
    EXPECT_TRUE(sent.standardOutput.contains(
        QStringLiteral("Campaign completed: 3 recipients.\nReport file: %1Offer for you.txt\nEnded the sender")
            .arg(folder)))
        << qPrintable(sent.standardOutput);
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("Offer for you.txt")));

    const auto status = run({QStringLiteral("status")});
    EXPECT_TRUE(status.standardOutput.contains(QStringLiteral("State:           Completed\n")))
        << qPrintable(status.standardOutput);
    EXPECT_TRUE(status.standardOutput.contains(QStringLiteral("Next recipient:  none left\n")));
    EXPECT_TRUE(waitForSender(QStringLiteral("not running")));

    // Without --wait the sender stays after the campaign, showing its finished window.
    ASSERT_EQ(run({QStringLiteral("send"), dataFile(), QStringLiteral("--no-notify")}).exitCode, 0);
    ASSERT_TRUE(waitForState(QStringLiteral("Completed")));
    ASSERT_TRUE(waitForSender(QStringLiteral("running, listening")));
    const auto shown = run({QStringLiteral("show")});
    EXPECT_EQ(shown.exitCode, 0) << qPrintable(shown.standardError);
    EXPECT_TRUE(
        shown.standardOutput.startsWith(QStringLiteral("Sent 'show' to the Quillmark sender of profile Local")));

    const auto suspended = run({QStringLiteral("suspend")});
    EXPECT_EQ(suspended.exitCode, 0) << qPrintable(suspended.standardError);
    EXPECT_EQ(setting(QStringLiteral("SendState")), QStringLiteral("Suspended"));
    EXPECT_TRUE(waitForSender(QStringLiteral("not running")));
    expectOneErrorLine(run({QStringLiteral("show")}),
                       QStringLiteral("No Quillmark sender is running for profile Local"));
}

} // namespace
} // namespace quillmark
