#include "ipc/MHookMe.h"

#include "IpcTestSupport.h"
#include "core/Error.h"

#include <array>
#include <gtest/gtest.h>

namespace quillmark::ipc {
namespace {

using test::RecordingWindow;

// Passes every message on, and fails on the message number it is told to.
class PassingSink : public IHookSink {
public:
    std::int32_t WindowProc(WindowHandle& hWnd, std::uint32_t& uMsg, std::int32_t& wParam,
                            std::intptr_t& lParam) override {
        ++calls;
        if (uMsg == failOn) {
            throw core::Error(QStringLiteral("sink failed"));
        }
        return MHookMe::CallOldWindowProc(hWnd, uMsg, wParam, lParam);
    }
    int calls = 0;
    std::uint32_t failOn = 0xFFFFFFFF;
};

struct Message {
    std::uint32_t uMsg;
    std::int32_t wParam;
    std::intptr_t lParam;
};

const std::array<Message, 4> kMessages{{{0x0001, 0, 0}, {0x000F, 3, -1}, {WM_COPYDATA, 4, 1234}, {0x0400, -7, 42}}};

TEST(MHookMeTest, AHookedWindowWhoseSinkPassesEverythingOnBehavesAsBefore) {
    RecordingWindow window;
    std::vector<std::int32_t> before;
    before.reserve(kMessages.size());
    for (const Message& m : kMessages) {
        before.push_back(SendMessage(window.handle(), m.uMsg, m.wParam, m.lParam));
    }
    const auto seenBefore = RecordingWindow::seen();

    PassingSink sink;
    MHookMe::Hook(window.handle(), sink);
    EXPECT_EQ(GetWindowProc(window.handle()), &MHookMe::HookWindowProc);
    RecordingWindow::seen().clear();
    std::vector<std::int32_t> after;
    after.reserve(kMessages.size());
    for (const Message& m : kMessages) {
        after.push_back(SendMessage(window.handle(), m.uMsg, m.wParam, m.lParam));
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(RecordingWindow::seen(), seenBefore);
    EXPECT_EQ(sink.calls, 4);
}

TEST(MHookMeTest, UnhookRestoresTheSavedProcedureAndKeepsBothProperties) {
    RecordingWindow window;
    PassingSink sink;
    MHookMe::Hook(window.handle(), sink);
    MHookMe::Unhook(window.handle());
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);
    EXPECT_EQ(GetProp(window.handle(), MHookMe::ObjectPointerProperty), reinterpret_cast<std::intptr_t>(&sink));
    EXPECT_EQ(GetProp(window.handle(), MHookMe::OldWindowProcProperty), procedureValue(&RecordingWindow::procedure));
    SendMessage(window.handle(), 0x10, 0, 0);
    EXPECT_EQ(sink.calls, 0);
}

TEST(MHookMeTest, ASinkFailureUnhooksFromTheNextMessageOn) {
    RecordingWindow window;
    PassingSink sink;
    sink.failOn = 0x0200;
    MHookMe::Hook(window.handle(), sink);
    EXPECT_EQ(SendMessage(window.handle(), 0x0100, 1, 0), RecordingWindow::expectedResult(0x0100, 1));
    EXPECT_EQ(SendMessage(window.handle(), 0x0200, 1, 0), 0) << "the failing message results in 0";
    EXPECT_EQ(sink.calls, 2);
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);
    EXPECT_EQ(SendMessage(window.handle(), 0x0200, 1, 0), RecordingWindow::expectedResult(0x0200, 1));
    EXPECT_EQ(sink.calls, 2) << "no message reaches the sink any more";
}

TEST(MHookMeTest, UnhookTwiceOrOnANeverHookedWindowIsHarmless) {
    RecordingWindow window;
    MHookMe::Unhook(window.handle());
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);
    PassingSink sink;
    MHookMe::Hook(window.handle(), sink);
    MHookMe::Unhook(window.handle());
    MHookMe::Unhook(window.handle());
    EXPECT_EQ(GetWindowProc(window.handle()), &RecordingWindow::procedure);
    MHookMe::Unhook(test::freshHandle());
    EXPECT_EQ(MHookMe::CallOldWindowProc(test::freshHandle(), 1, 2, 3), 0);
}

TEST(MHookMeTest, WithoutASinkTheHookSwallowsTheMessage) {
    RecordingWindow window;
    EXPECT_EQ(MHookMe::HookWindowProc(window.handle(), 0x0100, 1, 0), 0);
    EXPECT_TRUE(RecordingWindow::seen().empty());
}

// Changes every argument it gets; the hook's caller must not see the changes.
class ScribblingSink : public IHookSink {
public:
    std::int32_t WindowProc(WindowHandle& hWnd, std::uint32_t& uMsg, std::int32_t& wParam,
                            std::intptr_t& lParam) override {
        const std::int32_t result = MHookMe::CallOldWindowProc(hWnd, uMsg, wParam, lParam);
        hWnd = 0;
        uMsg = 0;
        wParam = 0;
        lParam = 0;
        return result;
    }
};

TEST(MHookMeTest, TheSinkWorksOnCopiesOfTheArguments) {
    RecordingWindow window;
    ScribblingSink sink;
    MHookMe::Hook(window.handle(), sink);
    EXPECT_EQ(SendMessage(window.handle(), 0x0100, 1, 0), RecordingWindow::expectedResult(0x0100, 1));
    EXPECT_EQ(SendMessage(window.handle(), 0x0100, 1, 0), RecordingWindow::expectedResult(0x0100, 1));
    MHookMe::Unhook(window.handle());
}

} // namespace
} // namespace quillmark::ipc
