#include "ipc/CNotify.h"

#include "IpcTestSupport.h"
#include "core/Error.h"
#include "ipc/MHookMe.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"
#include "support/TestHome.h"
#include "support/TextFiles.h"

#include <QDir>
#include <gtest/gtest.h>
#include <memory>

namespace quillmark::ipc {
namespace {

using test::RecordingWindow;

struct Event {
    std::int32_t code;
    QString text;
};

// Each test logs into a folder of its own, with logging switched on.
class CNotifyTest : public testing::Test {
protected:
    void SetUp() override {
        const QString name = QString::fromUtf8(testing::UnitTest::GetInstance()->current_test_info()->name());
        folder = quillmark::test::testHome() + QStringLiteral("/ipc-logs/") + name + QLatin1Char('/');
        QDir().mkpath(folder);
        settings::setApplicationName(settings::applicationNameForProfile(QStringLiteral("Ipc") + name));
        settings::write(settings::keys::AppDataFolder, folder);
        settings::write(settings::keys::LogFileWanted, 1);
        notify->setOutlookMessageHandler([this](std::int32_t& code, QString& text) { events.push_back({code, text}); });
    }
    void TearDown() override { settings::setApplicationName(QString()); }

    // The source and text of every log line.
    [[nodiscard]] std::vector<std::pair<QString, QString>> logged() const {
        std::vector<std::pair<QString, QString>> lines;
        for (const QString& line : quillmark::test::readCrLfLines(folder + QStringLiteral("TollmereLog.txt"))) {
            const QStringList fields = quillmark::test::fieldsOf(line);
            lines.emplace_back(fields.value(2), fields.value(3));
        }
        return lines;
    }

    std::int32_t copyData(std::int32_t code, const QByteArray& payload, std::uint32_t dwData = 0) {
        return copyDataTo(window.handle(), code, payload, dwData);
    }
    static std::int32_t copyDataTo(WindowHandle target, std::int32_t code, const QByteArray& payload,
                                   std::uint32_t dwData = 0) {
        const COPYDATASTRUCT data{dwData, static_cast<std::uint32_t>(payload.size()), payload.constData()};
        return SendMessage(target, WM_COPYDATA, code, reinterpret_cast<std::intptr_t>(&data));
    }

    QString folder;
    RecordingWindow window;
    std::shared_ptr<CNotify> notify = CNotify::create();
    std::vector<Event> events;
};

QString hwndText(WindowHandle h) {
    return QString::number(h);
}

TEST_F(CNotifyTest, ShowCommandRaisesTheEventAfterBothLogLines) {
    notify->setHWnd(window.handle());
    EXPECT_EQ(notify->hWnd(), window.handle());
    RecordingWindow::copyDataResult() = 1;
    EXPECT_EQ(copyData(1, "show"), 1) << "the result is the previous procedure's";
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].code, 1);
    EXPECT_EQ(events[0].text, QStringLiteral("show"));
    ASSERT_EQ(RecordingWindow::seen().size(), 1U) << "the previous procedure saw the message first";
    EXPECT_EQ(RecordingWindow::seen()[0].uMsg, WM_COPYDATA);

    const auto lines = logged();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0], std::make_pair(QStringLiteral("Quillmark.CNotify.Hwnd(Let)"),
                                       QStringLiteral("Hooking Hwnd: ") + hwndText(window.handle())));
    EXPECT_EQ(lines[1], std::make_pair(QStringLiteral("Quillmark.CNotify.WindowProc"),
                                       QStringLiteral("Received WM_COPYDATA for Hwnd: ") + hwndText(window.handle())));
}

TEST_F(CNotifyTest, HandlesAreLoggedInSignedDecimal) {
    QObject negative;
    const WindowHandle handle = -2147483600;
    registerWindow(&negative, handle);
    notify->setHWnd(handle);
    copyDataTo(handle, 1, {});
    const auto lines = logged();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].second, QStringLiteral("Hooking Hwnd: -2147483600"));
    EXPECT_EQ(lines[1].second, QStringLiteral("Received WM_COPYDATA for Hwnd: -2147483600"));
    notify->setHWnd(0);
}

TEST_F(CNotifyTest, AnEmptyPayloadGivesAnEmptyText) {
    notify->setHWnd(window.handle());
    copyData(3, {});
    const COPYDATASTRUCT noData{0, 0, nullptr};
    SendMessage(window.handle(), WM_COPYDATA, 4, reinterpret_cast<std::intptr_t>(&noData));
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0].code, 3);
    EXPECT_TRUE(events[0].text.isEmpty());
    EXPECT_EQ(events[1].code, 4);
    EXPECT_TRUE(events[1].text.isEmpty());
}

TEST_F(CNotifyTest, AnyCodeIsLoggedAndRaisedAndDwDataNeverMatters) {
    notify->setHWnd(window.handle());
    copyData(7, "x", 0);
    copyData(7, "x", 0xFFFFFFFF);
    copyData(-1, "x", 12345);
    ASSERT_EQ(events.size(), 3U);
    EXPECT_EQ(events[0].code, 7);
    EXPECT_EQ(events[1].code, 7);
    EXPECT_EQ(events[2].code, -1);
    for (const Event& event : events) {
        EXPECT_EQ(event.text, QStringLiteral("x"));
    }
    EXPECT_EQ(logged().size(), 4U);
}

TEST_F(CNotifyTest, OtherMessagesPassUnchangedAndRaiseNothing) {
    notify->setHWnd(window.handle());
    EXPECT_EQ(SendMessage(window.handle(), 0x0010, 5, 77), RecordingWindow::expectedResult(0x0010, 5));
    ASSERT_EQ(RecordingWindow::seen().size(), 1U);
    EXPECT_EQ(RecordingWindow::seen()[0], (test::SeenMessage{window.handle(), 0x0010, 5, 77}));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(logged().size(), 1U) << "only the hooking line";
}

TEST_F(CNotifyTest, InvalidUtf8IsReplacedNotFatal) {
    notify->setHWnd(window.handle());
    copyData(1, QByteArray("A\xff\xfe"
                           "B\xc3",
                           5));
    copyData(1, QByteArray("Gr\xc3\xbc\xc3\x9f"
                           "e"));
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0].text.front(), QChar(u'A'));
    EXPECT_TRUE(events[0].text.contains(QChar(QChar::ReplacementCharacter)));
    EXPECT_TRUE(events[0].text.contains(QChar(u'B')));
    EXPECT_EQ(events[1].text, QStringLiteral("Grüße"));
}

TEST_F(CNotifyTest, SettingHWndToZeroUnhooksAndKeepsTheOldHandle) {
    notify->setHWnd(window.handle());
    notify->setHWnd(0);
    EXPECT_EQ(notify->hWnd(), window.handle());
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);
    EXPECT_EQ(copyData(1, "after"), 1);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(logged().size(), 1U);
}

TEST_F(CNotifyTest, ANonWindowIsIgnoredAndANewWindowUnhooksTheOldOne) {
    notify->setHWnd(test::freshHandle());
    EXPECT_EQ(notify->hWnd(), 0);
    EXPECT_TRUE(logged().empty());

    RecordingWindow second;
    notify->setHWnd(window.handle());
    notify->setHWnd(second.handle());
    EXPECT_EQ(notify->hWnd(), second.handle());
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);
    EXPECT_EQ(GetWindowProc(second.handle()), &MHookMe::HookWindowProc);
    EXPECT_EQ(logged().size(), 2U);
}

TEST_F(CNotifyTest, ReleasingTheReceiverUnhooksItsWindowEvenAfterTheWindowWentAway) {
    notify->setHWnd(window.handle());
    notify.reset();
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);

    auto other = CNotify::create();
    other->setHWnd(window.handle());
    window.destroy();
    other.reset(); // the window is gone: nothing to unhook, nothing to crash
}

TEST_F(CNotifyTest, TheHandlerMayUnloadTheWindowAndReleaseTheReceiver) {
    notify->setHWnd(window.handle());
    std::weak_ptr<CNotify> watch = notify;
    notify->setOutlookMessageHandler([this](std::int32_t& code, QString& text) {
        events.push_back({code, text});
        window.destroy();
        notify.reset();
    });
    const WindowHandle handle = window.handle();
    EXPECT_EQ(copyData(2, "suspend"), 1);
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].code, 2);
    EXPECT_TRUE(watch.expired()) << "released once the message was finished";
    EXPECT_FALSE(IsWindow(handle));
}

TEST_F(CNotifyTest, TheHandlerMayReplaceItself) {
    notify->setHWnd(window.handle());
    int replaced = 0;
    notify->setOutlookMessageHandler([this, &replaced](std::int32_t&, QString&) {
        notify->setOutlookMessageHandler([&replaced](std::int32_t&, QString&) { ++replaced; });
    });
    copyData(1, "a");
    copyData(1, "b");
    EXPECT_EQ(replaced, 1);
}

TEST_F(CNotifyTest, AFailingHandlerUnhooksTheWindowForGood) {
    notify->setHWnd(window.handle());
    notify->setOutlookMessageHandler(
        [](std::int32_t&, QString&) { throw core::Error(QStringLiteral("handler failed")); });
    EXPECT_EQ(copyData(4, "halt"), 0) << "the failing message results in 0";
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);
    RecordingWindow::seen().clear();
    EXPECT_EQ(copyData(4, "halt"), 1);
    EXPECT_EQ(RecordingWindow::seen().size(), 1U);
}

TEST_F(CNotifyTest, CopyDataWithoutItsStructureIsAFailureNotACrash) {
    notify->setHWnd(window.handle());
    EXPECT_EQ(SendMessage(window.handle(), WM_COPYDATA, 1, 0), 0);
    const COPYDATASTRUCT lying{0, 10, nullptr};
    notify->setHWnd(window.handle());
    EXPECT_EQ(SendMessage(window.handle(), WM_COPYDATA, 1, reinterpret_cast<std::intptr_t>(&lying)), 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(CNotifyTest, TheAnnouncedLengthIsNeverReadPastTheBuffer) {
    // Exactly 255 bytes of memory behind an announcement of 10,000: the sanitizer build
    // catches any read beyond them.
    auto bytes = std::make_unique<char[]>(CNotify::kBufferSize); // NOLINT(modernize-avoid-c-arrays): exact size
    std::fill_n(bytes.get(), CNotify::kBufferSize, 'q');
    const COPYDATASTRUCT data{0, 10000, bytes.get()};
    EXPECT_EQ(CNotify::textOf(data), QString(255, QChar(u'q')));
}

// One payload shape: its size, where a NUL sits (or none), and the text expected.
struct PayloadCase {
    const char* name;
    int size;
    int nulAt; // -1: no NUL
    int expectedLength;
};

void PrintTo(const PayloadCase& row, std::ostream* out) {
    *out << row.name;
}

class CNotifyPayloadTest : public testing::TestWithParam<PayloadCase> {};

TEST_P(CNotifyPayloadTest, TextIsTheBytesBeforeTheFirstNulWithinTheBuffer) {
    const PayloadCase& c = GetParam();
    // Bytes past the 255-byte buffer are a different letter, so any of them leaking shows.
    QByteArray payload(c.size, 'a');
    for (int i = 255; i < c.size; ++i) {
        payload[i] = 'Z';
    }
    if (c.nulAt >= 0) {
        payload[c.nulAt] = '\0';
    }
    const COPYDATASTRUCT data{0, static_cast<std::uint32_t>(payload.size()), payload.constData()};
    const QString text = CNotify::textOf(data);
    EXPECT_EQ(text.size(), c.expectedLength);
    EXPECT_FALSE(text.contains(QChar(u'Z')));
    EXPECT_EQ(text.count(QChar(u'a')), c.expectedLength);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CNotifyPayloadTest,
                         testing::Values(PayloadCase{"Empty", 0, -1, 0}, PayloadCase{"Short", 5, -1, 5},
                                         PayloadCase{"NulFirst", 5, 0, 0}, PayloadCase{"NulInside", 10, 4, 4},
                                         PayloadCase{"B254", 254, -1, 254}, PayloadCase{"B254Nul", 254, 100, 100},
                                         PayloadCase{"B255", 255, -1, 255}, PayloadCase{"B255NulLast", 255, 254, 254},
                                         PayloadCase{"B256", 256, -1, 255}, PayloadCase{"B256NulAt255", 256, 255, 255},
                                         PayloadCase{"B256NulAt10", 256, 10, 10}, PayloadCase{"B10000", 10000, -1, 255},
                                         PayloadCase{"B10000NulPast", 10000, 5000, 255},
                                         PayloadCase{"B10000NulAt200", 10000, 200, 200}),
                         [](const testing::TestParamInfo<PayloadCase>& row) { return std::string(row.param.name); });

TEST(CNotifyTextTest, AMultiByteCharacterCutByTheBufferIsReplaced) {
    QByteArray payload(254, 'a');
    payload.append("\xc3\xbc"); // the second byte would be byte 256
    const COPYDATASTRUCT data{0, static_cast<std::uint32_t>(payload.size()), payload.constData()};
    const QString text = CNotify::textOf(data);
    EXPECT_EQ(text.size(), 255);
    EXPECT_EQ(text.back(), QChar(QChar::ReplacementCharacter));
}

} // namespace
} // namespace quillmark::ipc
