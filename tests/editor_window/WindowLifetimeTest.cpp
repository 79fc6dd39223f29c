#include "WindowTestSupport.h"

#include "pluginterfaces/gui/iplugview.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace talven::test {
namespace {

using testing::ElementsAre;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

int countLines(const std::string& text, const std::string& line)
{
    int count = 0;
    for (std::size_t at = text.find(line + "\n"); at != std::string::npos; at = text.find(line + "\n", at + 1))
        ++count;
    return count;
}

class WindowLifetime : public testing::Test {
protected:
    void SetUp() override { positionReports.clear(); }
    void TearDown() override { pumpMessages(); }
};

TEST_F(WindowLifetime, InitCreatesAHiddenTopmostWindowWhoseClientAreaIsTheContentSize)
{
    for (bool resizable : {false, true}) {
        TestWindow made({320, 240}, resizable);
        ASSERT_TRUE(made.window);
        ASSERT_TRUE(IsWindow(made.hwnd));
        EXPECT_FALSE(IsWindowVisible(made.hwnd));
        EXPECT_EQ(clientSize(made.hwnd), (Size{320, 240}));
        EXPECT_EQ(made.window->getContentSize(), (Size{320, 240}));

        const DWORD style = static_cast<DWORD>(GetWindowLongW(made.hwnd, GWL_STYLE));
        const DWORD wanted = resizable ? 0x06CD0000u : 0x06C80000u;
        EXPECT_EQ(style & 0x06CF0000u, wanted) << std::hex << style; // no minimise box either way
        const DWORD extended = static_cast<DWORD>(GetWindowLongW(made.hwnd, GWL_EXSTYLE));
        EXPECT_TRUE(extended & WS_EX_APPWINDOW);
        EXPECT_TRUE(extended & WS_EX_TOPMOST);

        const auto native = made.window->getNativePlatformWindow();
        EXPECT_STREQ(native.type, Steinberg::kPlatformTypeHWND);
        EXPECT_EQ(native.ptr, made.hwnd);
        EXPECT_TRUE(made.controller->calls.empty());
    }
}

TEST_F(WindowLifetime, EveryWindowOfTheProcessGetsItsOwnNativeWindowAndNothingElse)
{
    TestWindow first;
    TestWindow second; // registers the class again; the failure is ignored
    ASSERT_TRUE(first.window && second.window);
    EXPECT_NE(first.hwnd, second.hwnd);
    EXPECT_FALSE(first.window->init("again", {10, 10}, false, first.controller, nullptr));

    int marker = 0;
    void* out = &marker;
    EXPECT_EQ(first.window->queryInterface(Steinberg::FUnknown::iid, &out), Steinberg::kNoInterface);
    EXPECT_EQ(out, &marker);
}

TEST_F(WindowLifetime, TheCloseButtonReportsTwiceWritesOneLineAndLeavesTheWindowHiddenButAlive)
{
    TestWindow made;
    made.window->setPositionCallback(recordPosition);
    made.window->show(40, 50);
    made.controller->calls.clear();

    CaptureStdout();
    LRESULT result = SendMessageW(made.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(GetCapturedStdout(), "Window::close\n");
    EXPECT_EQ(result, 1);
    EXPECT_THAT(positionReports, ElementsAre(std::array<int, 3>{40, 50, 1}, std::array<int, 3>{40, 50, 1}));
    EXPECT_THAT(made.controller->calls, ElementsAre("close"));
    EXPECT_TRUE(IsWindow(made.hwnd));
    EXPECT_FALSE(IsWindowVisible(made.hwnd));

    // Cut off: the window's own events no longer reach the controller.
    made.window->resize({500, 400});
    EXPECT_EQ(made.window->getContentSize(), (Size{500, 400}));
    EXPECT_THAT(made.controller->calls, ElementsAre("close"));

    // Once its holder lets go, nothing of it is left.
    made.window.reset();
    EXPECT_FALSE(IsWindow(made.hwnd));
}

TEST_F(WindowLifetime, CloseHidesAndReportsButKeepsTheControllerConnectedForTheNextShow)
{
    TestWindow made;
    made.window->setPositionCallback(recordPosition);
    made.window->show(60, 70);

    CaptureStdout();
    made.window->close();
    EXPECT_EQ(GetCapturedStdout(), "Window::close\n");
    EXPECT_THAT(positionReports, ElementsAre(std::array<int, 3>{60, 70, 1}));
    EXPECT_FALSE(IsWindowVisible(made.hwnd));
    EXPECT_TRUE(IsWindow(made.hwnd));

    made.controller->calls.clear();
    CaptureStdout();
    made.window->show();
    EXPECT_EQ(GetCapturedStdout(), "Window::show\n");
    EXPECT_TRUE(IsWindowVisible(made.hwnd));
    EXPECT_EQ(outerRect(made.hwnd).left, 60);
    made.window->resize({310, 210});
    EXPECT_THAT(made.controller->calls, ElementsAre("scale 1.00", "show", "resize 310x210"));
}

TEST_F(WindowLifetime, ConsoleLinesFollowTheOrderOfShowingAndClosing)
{
    TestWindow made;
    CaptureStdout();
    made.window->show();
    made.window->close();
    made.window->show(10, 10);
    SendMessageW(made.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(GetCapturedStdout(), "Window::show\nWindow::close\nWindow::show\nWindow::close\n");
}

TEST_F(WindowLifetime, AVisibleWindowKeepsItselfOpenAfterItsHolderLetsGo)
{
    TestWindow made;
    made.window->show(20, 20);
    made.window.reset();
    pumpMessages();
    EXPECT_TRUE(IsWindow(made.hwnd));
    EXPECT_TRUE(IsWindowVisible(made.hwnd));

    // The user's close then ends it.
    SendMessageW(made.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(made.controller->calls.back(), "close");
    EXPECT_FALSE(IsWindow(made.hwnd));
}

TEST_F(WindowLifetime, OpeningAndHidingEditorsManyTimesLeavesNoNativeWindowsBehind)
{
    std::vector<HWND> closed;
    CaptureStdout();
    for (int i = 0; i < 200; ++i) {
        TestWindow made({200, 100});
        if (!made.window)
            break;
        made.window->show(30, 30);
        made.window->close();
        closed.push_back(made.hwnd);
    }
    const std::string console = GetCapturedStdout();
    ASSERT_EQ(closed.size(), 200u);
    EXPECT_EQ(countLines(console, "Window::show"), 200);
    EXPECT_EQ(countLines(console, "Window::close"), 200);
    pumpMessages();
    for (HWND hwnd : closed)
        EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowLifetime, AWindowReleasedOnAnotherThreadIsDestroyedByItsOwnThread)
{
    TestWindow made;
    made.window->show(30, 30);
    made.window->close();
    std::thread([window = std::move(made.window)]() mutable { window.reset(); }).join();
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(made.hwnd); }));
}

TEST_F(WindowLifetime, AWindowWhoseNativeWindowWasDestroyedElsewhereDoesNothingMore)
{
    for (bool userClosedFirst : {false, true}) {
        TestWindow made;
        made.window->setPositionCallback(recordPosition);
        made.window->show(30, 30);
        if (userClosedFirst)
            SendMessageW(made.hwnd, WM_CLOSE, 0, 0);
        positionReports.clear();
        made.controller->calls.clear();

        DestroyWindow(made.hwnd);
        EXPECT_EQ(made.window->getNativePlatformWindow().ptr, nullptr);
        EXPECT_EQ(made.window->getContentSize(), (Size{0, 0}));
        CaptureStdout();
        made.window->show(40, 40);
        made.window->resize({100, 100});
        made.window->close();
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_TRUE(positionReports.empty());
        EXPECT_TRUE(made.controller->calls.empty());
        made.window.reset();
    }
}

TEST_F(WindowLifetime, OnlyTheFirstPositionCallbackCountsEvenWhenItIsNone)
{
    TestWindow first;
    first.window->setPositionCallback(recordPosition);
    first.window->setPositionCallback(recordPositionElsewhere);
    first.window->show(15, 25);
    first.window->close();
    EXPECT_THAT(positionReports, ElementsAre(std::array<int, 3>{15, 25, 1}));

    positionReports.clear();
    TestWindow second;
    second.window->setPositionCallback(nullptr);
    second.window->setPositionCallback(recordPosition);
    second.window->show(15, 25);
    second.window->close();
    SendMessageW(second.hwnd, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(positionReports.empty());
}

TEST_F(WindowLifetime, ACallbackThatThrowsDoesNotStopTheClose)
{
    for (auto callback : {recordPositionThenThrowStd, recordPositionThenThrowInt}) {
        positionReports.clear();
        TestWindow made;
        made.window->setPositionCallback(callback);
        made.window->show(35, 45);
        CaptureStdout();
        SendMessageW(made.hwnd, WM_CLOSE, 0, 0);
        EXPECT_EQ(GetCapturedStdout(), "Window::close\n");
        EXPECT_EQ(positionReports.size(), 2u);
        EXPECT_FALSE(IsWindowVisible(made.hwnd));
        EXPECT_EQ(made.controller->calls.back(), "close");
    }
}

} // namespace
} // namespace talven::test
