// Opening, hiding and closing editors through the exported functions, with
// the EditorEffect plug-in and windows that record what they are asked.
#include "EditorTestSupport.h"
#include "RecordingWindow.h"
#include "TestSupport.h"

#include "registry/Registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace talven::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

using Report = std::array<int, 3>;

class EditorHostingTest : public EditorEngineTest {
protected:
    void SetUp() override
    {
        EditorEngineTest::SetUp();
        stream = decodeStream();
        ASSERT_NE(stream, 0u);
    }

    std::uint32_t attachAndForget(std::uint8_t showEditor = 0)
    {
        const std::uint32_t handle = attach(stream, showEditor, 30, 40, recordPosition, "Editor");
        plugin.clearLog();
        return handle;
    }

    RecordingWindow& window(size_t index) { return *windows.made.at(index); }

    RecordingWindowFactory windows;
    HSTREAM stream = 0;
};

std::string windowLine(const void* window)
{
    char text[64];
    std::snprintf(text, sizeof(text), "windowPtr:%p\n", window);
    return text;
}

TEST_F(EditorHostingTest, AnAttachWithTheEditorShowsTheViewInAWindowWithTheCallersPlaceTitleAndCallback)
{
    testing::internal::CaptureStdout();
    const std::uint32_t handle = attach(stream, 1, 30, 40, recordPosition, "My Editor");
    const std::string console = testing::internal::GetCapturedStdout();
    ASSERT_NE(handle, 0u);
    ASSERT_EQ(windows.made.size(), 1u);
    EXPECT_EQ(window(0).title, "My Editor");
    EXPECT_FALSE(window(0).resizable);
    EXPECT_EQ(window(0).getContentSize(), (Size{400, 300}));
    EXPECT_THAT(window(0).calls, ElementsAre("show 30,40", "setPositionCallback"));
    EXPECT_TRUE(window(0).visible);
    EXPECT_THAT(console, HasSubstr(windowLine(windows.made[0].get())));
    EXPECT_EQ(countLines(readTraceFile(), "openEditor createViewAndShow true"), 1);
    // One view, the one shown: the attach makes none just to learn there is one.
    EXPECT_THAT(plugin.log(), ElementsAre("createView editor", "canResize",
                                          "setContentScaleFactor 1.50", "isPlatformTypeSupported X11EmbedWindowID",
                                          "setFrame frame", "attached X11EmbedWindowID"));
    EXPECT_EQ(plugin.frameAnswersItself(), 1);

    // The detach hides the window, then takes the view out.
    plugin.clearLog();
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(window(0).calls.back(), "close");
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}));
    EXPECT_THAT(plugin.log(), ElementsAre("removed", "setFrame null"));
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(windows.made[0].use_count(), 1); // the instance let it go
}

// A plug-in's GUI can be heavy: the attach builds no view at all. Whether
// there is one is learnt when first asked (TALVEN_GetInfo's hasEditor).
TEST_F(EditorHostingTest, AnAttachWithoutTheEditorShowsNothingAndMakesNoView)
{
    ASSERT_NE(attach(stream, 0, 30, 40, recordPosition), 0u);
    EXPECT_EQ(windows.requests, 0);
    EXPECT_THAT(plugin.log(), IsEmpty());
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(countLines(readTraceFile(), "openEditor createViewAndShow true"), 0);
}

TEST_F(EditorHostingTest, AnEditorShownTellsTheInformationThereIsOneWithoutAnotherView)
{
    const std::uint32_t handle = attachAndForget(1);
    ASSERT_EQ(windows.made.size(), 1u);
    TALVEN_INFO info{};
    info.size = sizeof info;
    ASSERT_EQ(TALVEN_GetInfo(handle, &info), 1);
    EXPECT_EQ(info.hasEditor, 1);
    EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
}

TEST_F(EditorHostingTest, ShowingTwiceHidesTheFirstEditorAndShowsASecondWithANewView)
{
    const std::uint32_t handle = attachAndForget();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "A"), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 5, 6, recordPositionElsewhere, "B"), 1);
    ASSERT_EQ(windows.made.size(), 2u);
    EXPECT_THAT(window(0).calls, ElementsAre("show 0,0", "setPositionCallback", "close"));
    EXPECT_FALSE(window(0).visible);
    EXPECT_THAT(window(1).calls, ElementsAre("show 5,6", "setPositionCallback"));
    EXPECT_TRUE(window(1).visible);
    EXPECT_EQ(window(1).title, "B");
    // Each window reports through the callback it was given.
    EXPECT_THAT(positionReports(), ElementsAre(Report{0, 0, 1}));
    EXPECT_THAT(plugin.logStartingWith("createView"), ElementsAre("createView editor", "createView editor"));
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
    EXPECT_EQ(plugin.liveViews(), 1);
    EXPECT_EQ(windows.made[0].use_count(), 1);
}

TEST_F(EditorHostingTest, HidingTakesTheViewOutAndHidesTheWindowThatALaterHideOnlyHidesAgain)
{
    const std::uint32_t handle = attachAndForget(1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_THAT(plugin.log(), ElementsAre("removed", "setFrame null"));
    EXPECT_THAT(window(0).calls, ElementsAre("show 30,40", "setPositionCallback", "close"));
    EXPECT_EQ(plugin.liveViews(), 0);

    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}, Report{30, 40, 1}));
    EXPECT_EQ(windows.made[0].use_count(), 2); // still the instance's
}

TEST_F(EditorHostingTest, TheUsersCloseDetachesTheViewAndALaterHideOnlyHidesAgain)
{
    const std::uint32_t handle = attachAndForget(1);
    window(0).userClose();
    EXPECT_THAT(plugin.log(), ElementsAre("removed", "setFrame null"));
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}, Report{30, 40, 1}));

    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_EQ(positionReports().size(), 3u);
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
}

TEST_F(EditorHostingTest, HidingAnEditorNeverShownOrNamingNoInstanceDoesNothing)
{
    const std::uint32_t handle = attachAndForget();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle + 100, 1, 0, 0, recordPosition, "t"), 0);
    EXPECT_EQ(TALVEN_ShowEditor(0, 1, 0, 0, recordPosition, "t"), 0);
    EXPECT_EQ(windows.requests, 0);
    EXPECT_THAT(plugin.log(), IsEmpty());
    EXPECT_THAT(positionReports(), IsEmpty());
}

TEST_F(EditorHostingTest, ShowingAfterTheDetachOpensNothingWhileTheHandleStillNamesTheInstance)
{
    const std::uint32_t handle = attachAndForget();
    ASSERT_NE(refHandle(handle), nullptr); // as a call still running would
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(windows.requests, 0);
    EXPECT_THAT(plugin.log(), IsEmpty());
    unrefHandle(handle);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 0);
}

TEST_F(EditorHostingTest, APlugInWithoutAnEditorOpensNothingYetTheCallSucceeds)
{
    const std::uint32_t handle = attach(stream, 1, 0, 0, recordPosition, "t", "MinimalEffect");
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(countLines(readTraceFile(), "openEditor createViewAndShow true"), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(windows.requests, 0);
    EXPECT_THAT(positionReports(), IsEmpty());
}

TEST_F(EditorHostingTest, AnEditorNoLongerOfferedOnlyHidesTheOneShowing)
{
    const std::uint32_t handle = attachAndForget(1);
    TalvenEditorOptions options = plugin.options();
    options.offerView = 0;
    plugin.configure(options);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(windows.made.size(), 1u);
    EXPECT_FALSE(window(0).visible);
    EXPECT_THAT(plugin.log(), ElementsAre("removed", "setFrame null", "createView editor"));
    // The hidden window is still the instance's: a hide reaches it.
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(positionReports().size(), 2u);
}

TEST_F(EditorHostingTest, AViewWithoutASizeOrAWindowThatCannotBeMadeShowsNothing)
{
    const std::uint32_t handle = attachAndForget();
    TalvenEditorOptions options = plugin.options();
    options.getSizeFails = 1;
    plugin.configure(options);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(windows.requests, 0);
    EXPECT_EQ(plugin.liveViews(), 0);

    options.getSizeFails = 0;
    plugin.configure(options);
    windows.fail = true;
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(windows.requests, 1);
    // The view was never attached: the detach lets it go without removed.
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_THAT(plugin.logStartingWith("removed"), IsEmpty());
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_THAT(positionReports(), IsEmpty());
}

int hasEditor(std::uint32_t handle)
{
    TALVEN_INFO info{};
    info.size = sizeof info;
    return TALVEN_GetInfo(handle, &info) == 1 ? info.hasEditor : -1;
}

// No empty window: the window goes unshown, and the program learns it from
// hasEditor and the trace; a view that goes into a window again undoes it.
TEST_F(EditorHostingTest, AViewThatRefusesTheWindowShowsNoWindowAndHasEditorReadsZeroUntilOneIsShown)
{
    const std::uint32_t handle = attachAndForget();
    EXPECT_EQ(hasEditor(handle), 1);
    TalvenEditorOptions options = plugin.options();
    options.platformSupported = 0;
    plugin.configure(options);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 30, 40, recordPosition, "t"), 1);
    ASSERT_EQ(windows.made.size(), 1u);
    EXPECT_FALSE(window(0).visible);
    EXPECT_THAT(window(0).calls, ElementsAre("show 30,40", "close"));
    EXPECT_EQ(windows.made[0].use_count(), 1); // the instance let it go
    EXPECT_THAT(plugin.logStartingWith("attached"), IsEmpty());
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(hasEditor(handle), 0);
    EXPECT_EQ(
        countLines(readTraceFile(), "openEditor: the view did not attach to the window, which stays hidden"), 1);
    // Nothing is left to hide.
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_THAT(positionReports(), IsEmpty());

    options.platformSupported = 1;
    plugin.configure(options);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    ASSERT_EQ(windows.made.size(), 2u);
    EXPECT_TRUE(window(1).visible);
    EXPECT_EQ(hasEditor(handle), 1);
}

TEST_F(EditorHostingTest, WithoutAWindowSystemNoViewIsAskedFor)
{
    EditorWindowFactory* previous = replaceEditorWindowFactory(nullptr);
    const std::uint32_t handle = attach(stream, 1, 0, 0, recordPosition, "t");
    EXPECT_NE(handle, 0u);
    EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
    plugin.clearLog();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, recordPosition, "t"), 1);
    replaceEditorWindowFactory(previous);
    EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
}

TEST_F(EditorHostingTest, WithoutAnXDisplayTheX11EditorAsksForNoView)
{
    const char* const display = std::getenv("DISPLAY");
    const std::string previousDisplay = display ? display : "";
    setenv("DISPLAY", ":65000", 1); // no server listens there
    EditorWindowFactory* previous = replaceEditorWindowFactory(platformEditorWindowFactory());
    const std::uint32_t handle = attach(stream, 1, 0, 0, recordPosition, "t");
    EXPECT_NE(handle, 0u);
    EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
    plugin.clearLog();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, recordPosition, "t"), 1);
    replaceEditorWindowFactory(previous);
    if (display)
        setenv("DISPLAY", previousDisplay.c_str(), 1);
    else
        unsetenv("DISPLAY");
    EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
    EXPECT_THAT(positionReports(), IsEmpty());
}

TEST_F(EditorHostingTest, FreeingTheChannelWhileTheEditorShowsClosesItBeforeThePlugInGoes)
{
    const std::uint32_t handle = attachAndForget(1);
    EXPECT_TRUE(TALVEN_ChannelFree(stream));
    EXPECT_EQ(window(0).calls.back(), "close");
    EXPECT_THAT(plugin.log(), ElementsAre("removed", "setFrame null"));
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 0);
}

TEST_F(EditorHostingTest, NullTitlesGiveUntitledWindows)
{
    const std::uint32_t handle = attach(stream, 1, 0, 0, nullptr, nullptr);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, nullptr, nullptr), 1);
    ASSERT_EQ(windows.made.size(), 2u);
    EXPECT_EQ(window(0).title, "");
    EXPECT_EQ(window(1).title, "");
}

// The position callbacks below act on this handle; showAgainOnClose asks
// for the editor again as often as the budget says.
std::uint32_t callbackHandle = 0;
int reopenBudget = 0;

void TALVEN_CALL showAgainOnClose(int32_t left, int32_t top, int32_t closing)
{
    recordPosition(left, top, closing);
    if (closing == 1 && reopenBudget > 0) {
        --reopenBudget;
        TALVEN_ShowEditor(callbackHandle, 1, left, top, showAgainOnClose, "again");
    }
}

void TALVEN_CALL detachOnClose(int32_t left, int32_t top, int32_t closing)
{
    recordPosition(left, top, closing);
    if (closing == 1)
        TALVEN_ChannelRemoveDSP(0, callbackHandle);
}

TEST_F(EditorHostingTest, ACallbackAskingForTheEditorAgainWhileItsWindowHidesIsIgnored)
{
    reopenBudget = 100;
    callbackHandle = attach(stream, 1, 30, 40, showAgainOnClose, "t");
    EXPECT_EQ(TALVEN_ShowEditor(callbackHandle, 1, 50, 60, showAgainOnClose, "next"), 1);
    EXPECT_EQ(windows.made.size(), 2u);
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}));
    EXPECT_EQ(plugin.liveViews(), 1);

    // From the user's close, outside any editor request, it is served.
    reopenBudget = 1;
    window(1).userClose();
    ASSERT_EQ(windows.made.size(), 3u);
    EXPECT_FALSE(window(1).visible);
    EXPECT_TRUE(window(2).visible);
    EXPECT_EQ(window(2).title, "again");
    EXPECT_EQ(plugin.liveViews(), 1);
}

TEST_F(EditorHostingTest, ACallbackDetachingThePlugInWhileItsWindowHidesLeavesNothingBehind)
{
    callbackHandle = attach(stream, 1, 30, 40, detachOnClose, "t");
    EXPECT_EQ(TALVEN_ShowEditor(callbackHandle, 1, 50, 60, detachOnClose, "next"), 1);
    EXPECT_EQ(windows.made.size(), 1u); // detached before a second view was made
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(TALVEN_ShowEditor(callbackHandle, 1, 0, 0, nullptr, nullptr), 0);

    callbackHandle = attach(stream, 1, 30, 40, detachOnClose, "t");
    EXPECT_EQ(TALVEN_ShowEditor(callbackHandle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(TALVEN_ShowEditor(callbackHandle, 0, 0, 0, nullptr, nullptr), 0);
}

} // namespace
} // namespace talven::test
