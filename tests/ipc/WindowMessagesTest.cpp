#include "ipc/WindowMessages.h"

#include "IpcTestSupport.h"
#include "core/Error.h"

#include <QVariant>
#include <gtest/gtest.h>

namespace quillmark::ipc {
namespace {

using test::freshHandle;
using test::RecordingWindow;

std::int32_t answerSeven(WindowHandle, std::uint32_t, std::int32_t, std::intptr_t) {
    return 7;
}

TEST(WindowMessagesTest, ARegisteredWindowIsAWindowUntilItIsDestroyed) {
    auto window = std::make_unique<QObject>();
    const WindowHandle handle = freshHandle();
    EXPECT_FALSE(IsWindow(handle));
    registerWindow(window.get(), handle);
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(GetWindowProc(handle), &DefWindowProc);
    window.reset();
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(GetWindowProc(handle), nullptr);
    EXPECT_FALSE(IsWindow(0));
}

TEST(WindowMessagesTest, RegistrationRefusesNoWindowHandleZeroAndATakenHandle) {
    QObject window;
    QObject other;
    const WindowHandle handle = freshHandle();
    EXPECT_THROW(registerWindow(&window, 0), core::Error);
    EXPECT_THROW(registerWindow(nullptr, handle), core::Error);
    registerWindow(&window, handle);
    EXPECT_THROW(registerWindow(&other, handle), core::Error);
    EXPECT_NO_THROW(registerWindow(&window, handle, &answerSeven)) << "the same window may register again";
    EXPECT_EQ(SendMessage(handle, 1, 0, 0), 7);
    unregisterWindow(handle);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_NO_THROW(registerWindow(&other, handle)) << "a handle given up is free again";
}

TEST(WindowMessagesTest, AHandleReusedAfterDestructionBelongsToTheNewWindow) {
    const WindowHandle handle = freshHandle();
    auto first = std::make_unique<QObject>();
    registerWindow(first.get(), handle);
    unregisterWindow(handle);
    QObject second;
    registerWindow(&second, handle);
    first.reset(); // its clean-up must not remove the new entry
    EXPECT_TRUE(IsWindow(handle));
}

TEST(WindowMessagesTest, PropertiesAreNumbersOnTheWindowAndZeroWhenMissing) {
    RecordingWindow window;
    EXPECT_EQ(GetProp(window.handle(), "Anything"), 0);
    SetProp(window.handle(), "Anything", -12345);
    EXPECT_EQ(GetProp(window.handle(), "Anything"), -12345);
    EXPECT_EQ(window.object()->property("Anything").toLongLong(), -12345) << "a dynamic property of the object";
    SetProp(freshHandle(), "Anything", 1);
    EXPECT_EQ(GetProp(freshHandle(), "Anything"), 0);
}

TEST(WindowMessagesTest, TheProcedureIsReplacedAndThePreviousOneReturned) {
    RecordingWindow window;
    EXPECT_EQ(SetWindowProc(window.handle(), &answerSeven), &RecordingWindow::procedure);
    EXPECT_EQ(SendMessage(window.handle(), 100, 1, 0), 7);
    EXPECT_EQ(procedureFromValue(procedureValue(&answerSeven)), &answerSeven);
    EXPECT_EQ(SetWindowProc(window.handle(), nullptr), nullptr) << "a null procedure is not installed";
    EXPECT_EQ(GetWindowProc(window.handle()), &answerSeven);
    EXPECT_EQ(SetWindowProc(freshHandle(), &answerSeven), nullptr);
}

TEST(WindowMessagesTest, SendMessageRunsTheCurrentProcedureAndGivesZeroForNoWindow) {
    RecordingWindow window;
    EXPECT_EQ(SendMessage(window.handle(), 0x10, 2, 99), RecordingWindow::expectedResult(0x10, 2));
    ASSERT_EQ(RecordingWindow::seen().size(), 1U);
    EXPECT_EQ(RecordingWindow::seen()[0], (test::SeenMessage{window.handle(), 0x10, 2, 99}));
    EXPECT_EQ(SendMessage(freshHandle(), 0x10, 2, 99), 0);
    EXPECT_EQ(CallWindowProc(nullptr, window.handle(), 0x10, 2, 99), 0);
    EXPECT_EQ(DefWindowProc(window.handle(), WM_COPYDATA, 1, 0), 0);
}

std::int32_t destroyOwnWindow(WindowHandle, std::uint32_t, std::int32_t wParam, std::intptr_t lParam) {
    delete reinterpret_cast<QObject*>(lParam); // NOLINT(performance-no-int-to-ptr): the test passes the window
    return wParam;
}

TEST(WindowMessagesTest, AProcedureMayDestroyItsOwnWindow) {
    auto* window = new QObject;
    const WindowHandle handle = freshHandle();
    registerWindow(window, handle, &destroyOwnWindow);
    EXPECT_EQ(SendMessage(handle, 1, 5, reinterpret_cast<std::intptr_t>(window)), 5);
    EXPECT_FALSE(IsWindow(handle));
}

} // namespace
} // namespace quillmark::ipc
