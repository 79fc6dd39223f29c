// The editor in real X11 windows on the library's editor thread, with the
// EditorEffect plug-in (a coloured child window with a connection of its own,
// served from the run loop it finds through its frame): placement, title,
// the thread the view is served on, the close button, moves and resizes by
// the user and by the view, and showing again. Run once more isolated: the
// windows are then talven-host's, found on the X server all the same.
#include "IsolatedRun.h"
#include "X11EditorSupport.h"

#include "TestSupport.h"

#include "pluginterfaces/base/funknown.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace talven::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

using Report = std::array<int, 3>;

bool hasSize(Window window, int width, int height)
{
    const Geometry geometry = geometryOf(window);
    return geometry.width == width && geometry.height == height;
}

TEST_F(X11EditorTest, TheViewIsEmbeddedInAFrameOfItsSizeCentredOrPlacedWithTheTitleGiven)
{
    const Window centred = show(0, 0, recordPosition, "Centred");
    ASSERT_NE(centred, 0u);
    EXPECT_EQ(editorWindows(), std::vector<Window>{centred});
    const Geometry frame = geometryOf(centred);
    Display* const display = testDisplay();
    EXPECT_EQ(frame.width, 400);
    EXPECT_EQ(frame.height, 300);
    EXPECT_EQ(frame.left, DisplayWidth(display, DefaultScreen(display)) / 2 - 200);
    EXPECT_EQ(frame.top, DisplayHeight(display, DefaultScreen(display)) / 2 - 150);
    const Geometry view = geometryOf(child());
    EXPECT_EQ(view.left, frame.left);
    EXPECT_EQ(view.width, 400);
    EXPECT_EQ(titleOf(centred), "Centred");
    EXPECT_TRUE(sizeIsFixedAt(centred, 400, 300)); // the view cannot resize
    EXPECT_TRUE(isAbove(centred));
    EXPECT_EQ(plugin.logStartingWith("attached"), std::vector<std::string>{"attached X11EmbedWindowID"});
    int answers = -2;
    onViewThread([&] { answers = plugin.frameAnswersItself(); });
    EXPECT_EQ(answers, 1);

    const Window placed = show(30, 40);
    ASSERT_NE(placed, 0u);
    EXPECT_EQ(geometryOf(placed).left, 30);
    EXPECT_EQ(geometryOf(placed).top, 40);
    // The first frame was hidden, and let go with its window.
    EXPECT_TRUE(waitUntil([&] { return editorWindows() == std::vector<Window>{placed}; }));
}

TEST_F(X11EditorTest, TitlesThatAreNullOrNotUtf8StillGiveAWindow)
{
    const Window untitled = show(10, 10, nullptr, nullptr);
    ASSERT_NE(untitled, 0u);
    EXPECT_EQ(titleOf(untitled), "");
    const Window damaged = show(10, 10, nullptr, "Gain \xC3\x28 \xE2\x82\xAC");
    ASSERT_NE(damaged, 0u);
    EXPECT_EQ(titleOf(damaged), "Gain \xEF\xBF\xBD( \xE2\x82\xAC");
}

TEST_F(X11EditorTest, TheViewIsAttachedServedAndRemovedOnTheEditorThreadOnly)
{
    // The tick count is the process's: earlier tests' views added to it.
    const int ticksBefore = runLoopTicks();
    ASSERT_NE(show(30, 40), 0u);
    // The view draws from the timer it registered in the frame's run loop.
    EXPECT_TRUE(waitUntil([&] { return runLoopTicks() >= ticksBefore + 3; }));
    // The view's, and the window's own idle tick. (Isolated, the editor
    // thread and its loop are talven-host's, out of this process's reach.)
    if (!isolatedRun()) {
        EXPECT_EQ(editorTimers(), 2);
    }
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);

    const std::vector<Event> events = recordedEvents();
    ASSERT_FALSE(events.empty());
    const ThreadToken editor = events.front().second;
    EXPECT_NE(editor, thisThread());
    EXPECT_THAT(events, ElementsAre(Event{"attached", editor}, Event{"timer", editor}, Event{"removed", editor}));
    if (!isolatedRun()) {
        EXPECT_EQ(editor, editorThreadId());
        EXPECT_EQ(threadsNamed("talven-editor"), 1);
        // The timers and the view's descriptor went with it; the X
        // connection stays while the hidden window does.
        EXPECT_EQ(editorTimers(), 0);
        EXPECT_EQ(editorWatchedFds(), 1);
    }
}

TEST_F(X11EditorTest, TheCloseButtonReportsTwiceAndHidesTheFrameAfterTakingTheViewOut)
{
    const Window frame = show(30, 40);
    ASSERT_NE(frame, 0u);
    plugin.clearLog();

    CaptureStdout();
    pressCloseButton(frame);
    EXPECT_TRUE(waitUntil([&] { return positionReports().size() >= 2 && plugin.liveViews() == 0; }));
    // The window's console line (isolated, talven-host writes its own).
    const std::string closing = GetCapturedStdout();
    if (!isolatedRun()) {
        EXPECT_EQ(closing, "Window::close\n");
    }
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}, Report{30, 40, 1}));
    EXPECT_TRUE(waitUntil([&] { return !isViewable(frame); }));
    EXPECT_EQ(editorWindows(), std::vector<Window>{frame}); // hidden, not destroyed
    EXPECT_THAT(plugin.log(), ElementsAre("removed", "setFrame null"));

    // The instance still has the window: hiding hides it once more.
    CaptureStdout();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    const std::string console = GetCapturedStdout();
    if (!isolatedRun()) {
        EXPECT_EQ(console, "Window::close\n");
    }
    EXPECT_EQ(positionReports().size(), 3u);
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
}

TEST_F(X11EditorTest, AMoveByTheUserIsReportedOnceWithClosingZeroWhenItSettles)
{
    const Window frame = show(30, 40);
    ASSERT_NE(frame, 0u);
    // Two steps of one drag: one report, where it ended.
    moveWindow(frame, 100, 80);
    moveWindow(frame, 120, 90);
    EXPECT_TRUE(waitUntil([] { return !positionReports().empty(); }));
    EXPECT_THAT(positionReports(), ElementsAre(Report{120, 90, 0}));

    // Hiding reports where the user left it.
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_THAT(positionReports(), ElementsAre(Report{120, 90, 0}, Report{120, 90, 1}));
}

TEST_F(X11EditorTest, AResizeRequestFromTheViewResizesTheFrameInPlaceAndCallsOnSize)
{
    allowResizing();
    const Window frame = show(50, 60);
    ASSERT_NE(frame, 0u);
    plugin.clearLog();
    int result = -1;
    onViewThread([&] { result = plugin.requestResize(500, 350); });
    EXPECT_EQ(result, Steinberg::kResultOk);
    EXPECT_TRUE(waitUntil([&] { return hasSize(frame, 500, 350) && hasSize(child(), 500, 350); }));
    EXPECT_EQ(geometryOf(frame).left, 50);
    EXPECT_EQ(geometryOf(frame).top, 60);
    EXPECT_THAT(plugin.logStartingWith("onSize"), ElementsAre("onSize 500x350", "onSize 500x350"));

    // The size it has: nothing for the window to do, but onSize all the same.
    plugin.clearLog();
    onViewThread([&] { result = plugin.requestResize(500, 350); });
    EXPECT_EQ(result, Steinberg::kResultOk);
    EXPECT_THAT(plugin.logStartingWith("onSize"), ElementsAre("onSize 500x350"));
}

TEST_F(X11EditorTest, AViewOfFixedSizeThatResizesItselfKeepsItsFrameFixedAtTheNewSize)
{
    const Window frame = show(50, 60);
    ASSERT_NE(frame, 0u);
    int result = -1;
    onViewThread([&] { result = plugin.requestResize(450, 320); });
    EXPECT_EQ(result, Steinberg::kResultOk);
    EXPECT_TRUE(waitUntil([&] { return hasSize(frame, 450, 320); }));
    EXPECT_TRUE(sizeIsFixedAt(frame, 450, 320));
}

TEST_F(X11EditorTest, AResizeRequestFromInsideOnSizeIsRefused)
{
    allowResizing(0, true);
    const Window frame = show(50, 60);
    ASSERT_NE(frame, 0u);
    plugin.clearLog();
    int result = -1;
    onViewThread([&] { result = plugin.requestResize(600, 400); });
    EXPECT_EQ(result, Steinberg::kResultOk);
    EXPECT_THAT(plugin.logStartingWith("resizeView"),
                ElementsAre("resizeView 610x410 -> 1", "resizeView 610x410 -> 1", "resizeView 600x400 -> 0"));
    EXPECT_TRUE(waitUntil([&] { return hasSize(frame, 600, 400); }));
}

TEST_F(X11EditorTest, AUserResizeIsHeldToTheSizeTheViewAcceptsAndReportedWhenItSettles)
{
    allowResizing(500);
    const Window frame = show(100, 100);
    ASSERT_NE(frame, 0u);
    EXPECT_FALSE(sizeIsFixedAt(frame, 400, 300));
    plugin.clearLog();

    resizeWindow(frame, 700, 300);
    EXPECT_TRUE(waitUntil([&] { return hasSize(frame, 500, 300) && !positionReports().empty(); }));
    EXPECT_THAT(plugin.log(), Contains("checkSizeConstraint 700x300"));
    EXPECT_THAT(plugin.logStartingWith("onSize"), ElementsAre("onSize 500x300"));
    EXPECT_THAT(positionReports(), ElementsAre(Report{100, 100, 0}));
}

TEST_F(X11EditorTest, ShowingTwiceHidesTheFirstFrameAndShowsANewViewInASecond)
{
    const Window first = show(30, 40);
    ASSERT_NE(first, 0u);
    CaptureStdout();
    const Window second = show(60, 70, recordPositionElsewhere);
    const std::string console = GetCapturedStdout();
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    if (!isolatedRun()) {
        EXPECT_EQ(console.rfind("Window::close\nWindow::show\nwindowPtr:", 0), 0u) << console;
    }
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}));
    EXPECT_THAT(plugin.logStartingWith("createView"), ElementsAre("createView editor", "createView editor"));
    EXPECT_EQ(plugin.liveViews(), 1);
    EXPECT_TRUE(waitUntil([&] { return editorWindows() == std::vector<Window>{second}; }));
}

} // namespace
} // namespace talven::test
