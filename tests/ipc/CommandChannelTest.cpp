#include "IpcTestSupport.h"
#include "core/Error.h"
#include "ipc/CNotify.h"
#include "ipc/CommandClient.h"
#include "ipc/CommandServer.h"
#include "ipc/CommandSocketPath.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace quillmark::ipc {
namespace {

using namespace std::chrono_literals;
using test::RawOutcome;
using test::RawStep;
using test::RecordingWindow;
using test::serveWhile;

constexpr CommandLimits kQuickLimits{kMaxPayloadSize, 300ms, 4};

struct Event {
    std::int32_t code;
    QString text;
};

// A hooked window with its receiver and its command server, on this thread's event loop.
class CommandChannelTest : public testing::Test {
protected:
    void SetUp() override {
        notify->setHWnd(window.handle());
        notify->setOutlookMessageHandler([this](std::int32_t& code, QString& text) {
            events.push_back({code, text});
            handled = true;
        });
        server = std::make_unique<CommandServer>(window.handle(), kQuickLimits);
    }
    void TearDown() override { test::spinEventLoop(20ms); }

    std::int32_t send(std::int32_t code, const QByteArray& payload) {
        const WindowHandle handle = window.handle();
        return serveWhile([=] { return sendCommand(handle, code, payload, 5s); });
    }

    RecordingWindow window;
    std::shared_ptr<CNotify> notify = CNotify::create();
    std::unique_ptr<CommandServer> server;
    std::vector<Event> events;
    std::atomic<bool> handled{false};
};

TEST_F(CommandChannelTest, TheResultArrivesAfterTheHandlerRan) {
    RecordingWindow::copyDataResult() = 77;
    const WindowHandle handle = window.handle();
    const auto [result, handledBeforeReply] = serveWhile([&, handle] {
        const std::int32_t r = sendCommand(handle, 1, "show", 5s);
        return std::make_pair(r, handled.load());
    });
    EXPECT_EQ(result, 77);
    EXPECT_TRUE(handledBeforeReply);
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].code, 1);
    EXPECT_EQ(events[0].text, QStringLiteral("show"));
}

TEST_F(CommandChannelTest, CommandsArriveInTurnWithTheirTexts) {
    EXPECT_EQ(send(3, {}), 1);
    EXPECT_EQ(send(7, QByteArray("Gr\xc3\xbc\xc3\x9f"
                                 "e")),
              1);
    EXPECT_EQ(send(4, QByteArray(300, 'h')), 1);
    ASSERT_EQ(events.size(), 3U);
    EXPECT_TRUE(events[0].text.isEmpty());
    EXPECT_EQ(events[1].text, QStringLiteral("Grüße"));
    EXPECT_EQ(events[2].text, QString(255, QChar(u'h')));
}

TEST_F(CommandChannelTest, AHandlerThatClosesEverythingStillAnswers) {
    notify->setOutlookMessageHandler([this](std::int32_t& code, QString& text) {
        events.push_back({code, text});
        server.reset();
        window.destroy();
        notify.reset();
    });
    EXPECT_EQ(send(2, "suspend"), 1);
    EXPECT_EQ(events.size(), 1U);
    EXPECT_EQ(server, nullptr);
}

TEST_F(CommandChannelTest, AFailingHandlerAnswersZeroAndTheWindowStopsListeningToIt) {
    notify->setOutlookMessageHandler([](std::int32_t&, QString&) { throw core::Error(QStringLiteral("broken")); });
    EXPECT_EQ(send(4, "halt"), 0);
    EXPECT_EQ(send(4, "halt"), 1) << "the window's own procedure answers from now on";
}

TEST_F(CommandChannelTest, TheSocketIsForThisUserOnlyAndGoesAwayWithTheServer) {
    const QString path = server->path();
    EXPECT_EQ(path, commandSocketPath(window.handle()));
    EXPECT_TRUE(
        path.endsWith(QStringLiteral("/quillmark-") + QString::number(window.handle()) + QStringLiteral(".sock")));
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600U);
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0U) << "the folder is private";
    EXPECT_EQ(info.st_uid, ::geteuid());
    server.reset();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(CommandChannelTest, ALiveChannelIsNeverTakenOver) {
    EXPECT_THROW(CommandServer second(window.handle()), core::Error);
    EXPECT_EQ(send(1, "still mine"), 1);
}

TEST(CommandServerTest, AStaleSocketIsReplacedAndAnythingElseRefused) {
    RecordingWindow window;
    const QString path = commandSocketPath(window.handle(), true);
    {
        // What a crashed process leaves: a socket file nobody listens on.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        std::copy(native.begin(), native.end(), address.sun_path);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_EQ(pathKind(path), PathKind::Socket);
    {
        CommandServer server(window.handle());
        const WindowHandle handle = window.handle();
        EXPECT_EQ(serveWhile([=] { return sendCommand(handle, 1, {}, 5s); }), 1);
    }
    QFile plain(path);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_THROW(CommandServer server(window.handle()), core::Error);
    EXPECT_TRUE(QFile::exists(path)) << "a file that is not a socket is left alone";
    QFile::remove(path);
}

TEST(CommandClientTest, NoServerIsAClearErrorAtOnce) {
    QElapsedTimer clock;
    clock.start();
    try {
        (void)sendCommand(test::freshHandle(), 1, {}, 5s);
        FAIL() << "no error";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().startsWith(QStringLiteral("No Quillmark sender is running for window ")))
            << qPrintable(error.description());
        EXPECT_LT(clock.elapsed(), 1000);
    }
}

TEST(CommandClientTest, AnOversizedPayloadIsRefusedBeforeSending) {
    EXPECT_THROW((void)sendCommand(test::freshHandle(), 1, QByteArray(kMaxPayloadSize + 1, 'x'), 1s), core::Error);
}

TEST(CommandClientTest, AServerThatNeverAnswersTimesOut) {
    RecordingWindow window;
    CommandServer server(window.handle());
    // The window's thread is busy (it never returns to its event loop while the client waits).
    const WindowHandle handle = window.handle();
    auto client = std::async(std::launch::async, [=] { return sendCommand(handle, 1, {}, 300ms); });
    try {
        (void)client.get();
        FAIL() << "no error";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("did not answer in time")))
            << qPrintable(error.description());
    }
    test::spinEventLoop(50ms);
}

// A bad request: the steps the client takes, and whether it hangs up afterwards.
struct BadFrame {
    const char* name;
    std::vector<RawStep> steps;
    bool hangUp = false;
};

void PrintTo(const BadFrame& row, std::ostream* out) {
    *out << row.name;
}

class BadFrameTest : public CommandChannelTest, public testing::WithParamInterface<BadFrame> {};

TEST_P(BadFrameTest, IsRefusedWithoutHarmAndTheNextClientIsServed) {
    const BadFrame& bad = GetParam();
    const QString path = server->path();
    const RawOutcome outcome = serveWhile([&] { return test::rawExchange(path, bad.steps, bad.hangUp, 3s); });
    EXPECT_TRUE(outcome.connected);
    EXPECT_TRUE(outcome.received.isEmpty()) << "a refused request gets no answer";
    if (!bad.hangUp) {
        EXPECT_TRUE(outcome.closedByServer) << "the server closes the connection";
    }
    test::spinEventLoop(20ms);
    EXPECT_TRUE(events.empty()) << "nothing reached the window";
    EXPECT_EQ(send(1, "next"), 1);
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(events[0].text, QStringLiteral("next"));
}

std::vector<RawStep> trickle(const QByteArray& bytes, std::chrono::milliseconds pause) {
    std::vector<RawStep> steps;
    for (const char byte : bytes) {
        steps.push_back({QByteArray(1, byte), pause});
    }
    return steps;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, BadFrameTest,
    testing::Values(BadFrame{"Garbage", {{"hello", 0ms}}},
                    BadFrame{"HttpRequest", {{"GET / HTTP/1.1\r\nHost: localhost\r\n\r\n", 0ms}}},
                    BadFrame{"AllOnes", {{QByteArray(64, '\xff'), 0ms}}},
                    BadFrame{"TruncatedHeaderLeftOpen", {{test::header(1, 0, 4).left(6), 0ms}}},
                    BadFrame{"TruncatedHeaderHungUp", {{test::header(1, 0, 4).left(6), 0ms}}, true},
                    BadFrame{"TruncatedPayloadLeftOpen", {{test::header(1, 0, 10) + "abc", 0ms}}},
                    BadFrame{"TruncatedPayloadHungUp", {{test::header(1, 0, 10) + "abc", 0ms}}, true},
                    BadFrame{"OneOverTheLimit", {{test::header(1, 0, kMaxPayloadSize + 1), 0ms}}},
                    BadFrame{"HugeAnnouncement", {{test::header(1, 0, 0xFFFFFFFF) + QByteArray(1000, 'x'), 0ms}}},
                    BadFrame{"TrailingBytes", {{test::request(1, "show") + "extra", 0ms}}},
                    BadFrame{"SlowHeader",
                             {{test::header(1, 0, 4).left(4), 500ms}, {test::header(1, 0, 4).mid(4), 0ms}}},
                    BadFrame{"Trickle", trickle(test::request(1, "abcd"), 40ms)},
                    BadFrame{"ConnectAndSayNothing", {{QByteArray(), 0ms}}}, BadFrame{"ConnectAndHangUp", {}, true}),
    [](const testing::TestParamInfo<BadFrame>& row) { return std::string(row.param.name); });

TEST_F(CommandChannelTest, ConnectionsOverTheLimitAreClosedAndServingGoesOn) {
    const QString path = server->path();
    // More silent clients than the server takes: the extra ones are cut at once.
    const auto outcomes = serveWhile([&] {
        std::vector<std::future<RawOutcome>> clients;
        clients.reserve(static_cast<std::size_t>(kQuickLimits.maxConnections) + 2);
        for (int i = 0; i < kQuickLimits.maxConnections + 2; ++i) {
            clients.push_back(std::async(std::launch::async, [&] { return test::rawExchange(path, {}, false, 2s); }));
        }
        std::vector<RawOutcome> results;
        results.reserve(clients.size());
        for (auto& client : clients) {
            results.push_back(client.get());
        }
        return results;
    });
    for (const RawOutcome& outcome : outcomes) {
        EXPECT_TRUE(outcome.closedByServer);
        EXPECT_TRUE(outcome.received.isEmpty());
    }
    EXPECT_EQ(send(1, "after"), 1);
}

} // namespace
} // namespace quillmark::ipc
