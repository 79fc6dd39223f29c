#include "WindowTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace talven::test {
namespace {

using testing::ElementsAre;

// A shown resizable 300 x 200 window at (100, 100).
class WindowSizing : public testing::Test {
protected:
    TestWindow made{{300, 200}, true};

    void SetUp() override
    {
        positionReports.clear();
        made.window->show(100, 100);
        made.controller->calls.clear();
    }
    void TearDown() override { pumpMessages(); }

    int frameWidth() const { return (outerRect(made.hwnd).right - outerRect(made.hwnd).left) - 300; }
    int frameHeight() const { return (outerRect(made.hwnd).bottom - outerRect(made.hwnd).top) - 200; }
};

TEST_F(WindowSizing, ResizeChangesTheContentAreaAndTellsTheControllerBeforeReturning)
{
    made.window->resize({420, 310});
    EXPECT_THAT(made.controller->calls, ElementsAre("resize 420x310"));
    EXPECT_EQ(made.window->getContentSize(), (Size{420, 310}));
    EXPECT_EQ(outerRect(made.hwnd).left, 100);
    EXPECT_EQ(outerRect(made.hwnd).top, 100);
}

TEST_F(WindowSizing, ResizeToTheCurrentSizeChangesNothing)
{
    made.window->resize({300, 200});
    EXPECT_TRUE(made.controller->calls.empty());
}

TEST_F(WindowSizing, DraggingTheLeftEdgePastTheControllersLimitSlidesTheWindow)
{
    made.controller->maxWidth = 500;
    const int f = frameWidth();
    const int g = frameHeight();
    RECT proposed = outerRect(made.hwnd);
    proposed.left -= 400; // content width 700
    const RECT before = proposed;

    EXPECT_EQ(SendMessageW(made.hwnd, WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&proposed)), 1);
    EXPECT_THAT(made.controller->calls, ElementsAre("constrain 700x200"));
    EXPECT_EQ(proposed.left, before.left);
    EXPECT_EQ(proposed.right, before.left + 500 + f);
    EXPECT_EQ(proposed.top, before.top);
    EXPECT_EQ(proposed.bottom, before.top + 200 + g);
}

TEST_F(WindowSizing, AProposalTheControllerAcceptsIsLeftAsItIs)
{
    made.controller->maxWidth = 500;
    RECT proposed = outerRect(made.hwnd);
    proposed.right += 150;
    proposed.bottom += 40;
    const RECT before = proposed;
    SendMessageW(made.hwnd, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&proposed));
    EXPECT_THAT(made.controller->calls, ElementsAre("constrain 450x240"));
    EXPECT_TRUE(EqualRect(&proposed, &before));
}

TEST_F(WindowSizing, EndingAMoveOrResizeReportsThePositionOnceWithClosingZero)
{
    made.window->setPositionCallback(recordPosition);
    SendMessageW(made.hwnd, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_THAT(positionReports, ElementsAre(std::array<int, 3>{100, 100, 0}));
}

TEST_F(WindowSizing, AMonitorScaleChangeIsReportedWithoutApplyingTheSuggestedRectangle)
{
    const RECT before = outerRect(made.hwnd);
    RECT suggested{0, 0, 40, 30};
    SendMessageW(made.hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_THAT(made.controller->calls, ElementsAre("scale 1.00"));
    const RECT after = outerRect(made.hwnd);
    EXPECT_TRUE(EqualRect(&before, &after));
}

} // namespace
} // namespace talven::test
