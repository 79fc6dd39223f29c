#include "WindowTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace talven::test {
namespace {

using testing::ElementsAre;

class WindowPlacement : public testing::Test {
protected:
    void TearDown() override { pumpMessages(); }
};

TEST_F(WindowPlacement, ShowAtZeroZeroCentresThePrimaryScreenByTheClientSize)
{
    for (Size content : {Size{300, 200}, Size{301, 201}}) {
        TestWindow made(content);
        made.window->show(0, 0);
        const RECT outer = outerRect(made.hwnd);
        const Size client = clientSize(made.hwnd);
        EXPECT_EQ(outer.left, GetSystemMetrics(SM_CXSCREEN) / 2 - client.width / 2);
        EXPECT_EQ(outer.top, GetSystemMetrics(SM_CYSCREEN) / 2 - client.height / 2);
        EXPECT_TRUE(IsWindowVisible(made.hwnd));
        EXPECT_EQ(clientSize(made.hwnd), content); // showing keeps the size
    }
}

TEST_F(WindowPlacement, ShowPlacesTheOuterCornerExactlyWhenOnlyOneCoordinateIsZero)
{
    TestWindow made;
    made.window->show(0, 1);
    EXPECT_EQ(outerRect(made.hwnd).left, 0);
    EXPECT_EQ(outerRect(made.hwnd).top, 1);
    made.window->show(120, 80);
    EXPECT_EQ(outerRect(made.hwnd).left, 120);
    EXPECT_EQ(outerRect(made.hwnd).top, 80);
}

TEST_F(WindowPlacement, ShowTellsTheControllerTheScaleBeforeItAttachesTheView)
{
    TestWindow made;
    made.window->show(50, 50);
    // Then the first showing's own size event may follow.
    ASSERT_GE(made.controller->calls.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(made.controller->calls.begin(), made.controller->calls.begin() + 2),
                ElementsAre("scale 1.00", "show"));
    EXPECT_FLOAT_EQ(made.window->getContentScaleFactor(), 1.0f); // 96 DPI under Xvfb
}

TEST_F(WindowPlacement, ShowWithoutAPositionLeavesTheWindowWhereItStands)
{
    TestWindow made;
    made.window->show(140, 90);
    made.window->close();
    made.window->show();
    EXPECT_EQ(outerRect(made.hwnd).left, 140);
    EXPECT_EQ(outerRect(made.hwnd).top, 90);
    EXPECT_TRUE(IsWindowVisible(made.hwnd));
}

} // namespace
} // namespace talven::test
