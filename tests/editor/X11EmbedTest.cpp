// Editors embedded in a program's own X window: the view in a child window
// of the library's inside it, served by the editor thread; the ways an
// embedding ends (removal, the program's window destroyed first, the
// detach), what is refused, the view's size asked both ways, and many
// embeddings leaving nothing behind. Run once more isolated: the child
// window is then talven-host's, inside the program's window all the same.
#include "EmbedCases.h"
#include "IsolatedRun.h"
#include "X11EditorSupport.h"

#include "TestSupport.h"

#include "editor/EditorThread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace talven::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr const char* kEditorThreadName = "talven-editor";

void* asParent(Window window)
{
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

// What the editor callback heard: handle, width, height, and the size
// TALVEN_GetEditorSize read from inside it.
using ResizeReport = std::array<std::int64_t, 5>;
std::mutex reportsLock;
std::vector<ResizeReport> resizeReports;

std::vector<ResizeReport> takeResizeReports()
{
    std::lock_guard<std::mutex> guard(reportsLock);
    std::vector<ResizeReport> taken;
    taken.swap(resizeReports);
    return taken;
}

void TALVEN_CALL recordResize(std::uint32_t handle, std::int32_t width, std::int32_t height, void* user)
{
    // Called with no library lock held: asking back in is allowed.
    std::int32_t readWidth = 0;
    std::int32_t readHeight = 0;
    TALVEN_GetEditorSize(handle, &readWidth, &readHeight);
    ++*static_cast<int*>(user);
    std::lock_guard<std::mutex> guard(reportsLock);
    resizeReports.push_back({handle, width, height, readWidth, readHeight});
}

int xlibErrors = 0;
int countXlibError(Display*, XErrorEvent*)
{
    ++xlibErrors;
    return 0;
}

class X11EmbedTest : public X11EditorTest {
protected:
    void SetUp() override
    {
        X11EditorTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        panel = makeProgramWindow(640, 480);
        ASSERT_NE(panel, 0u);
        takeResizeReports();
    }
    void TearDown() override
    {
        X11EditorTest::TearDown();
        if (panel && !panelDestroyed)
            destroyProgramWindow(panel);
    }

    // Embeds the editor in parent and returns the library's child window
    // once it shows there with the view's own window inside, or 0.
    Window embedIn(Window parent)
    {
        if (TALVEN_EmbedEditor(handle, asParent(parent)) != 1)
            return 0;
        Window frame = 0;
        if (!waitUntil([&] {
                const std::vector<Window> children = childrenOf(parent);
                frame = children.size() == 1 ? children.front() : 0;
                const Window view = child();
                return frame != 0 && isViewable(frame) && view != 0 && parentOf(view) == frame;
            }))
            return 0;
        return frame;
    }

    Window panel = 0;
    bool panelDestroyed = false;
};

TEST_F(X11EmbedTest, TheViewShowsInAChildOfTheProgramsWindowServedByTheEditorThread)
{
    const Window frame = embedIn(panel);
    ASSERT_NE(frame, 0u);
    const Geometry inner = geometryOf(frame);
    const Geometry outer = geometryOf(panel);
    EXPECT_EQ(inner.left, outer.left);
    EXPECT_EQ(inner.top, outer.top);
    EXPECT_EQ(inner.width, 400);
    EXPECT_EQ(inner.height, 300);
    std::int32_t width = 0;
    std::int32_t height = 0;
    EXPECT_EQ(TALVEN_GetEditorSize(handle, &width, &height), 1);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 300);
    // No window of the library's own, and the view's run loop is served.
    EXPECT_THAT(editorWindows(), IsEmpty());
    EXPECT_TRUE(waitUntil([&] { return recordedEvents().size() >= 2; }));
    const ThreadToken editor = isolatedRun() ? recordedEvents().front().second : editorThreadId();
    EXPECT_NE(editor, thisThread());
    EXPECT_THAT(recordedEvents(), ElementsAre(Event{"attached", editor}, Event{"timer", editor}));
}

class X11EmbedEndingTest : public X11EmbedTest, public ::testing::WithParamInterface<EndingCase> {};

// However the embedding ends, the view is removed before its frame goes and
// released, the child window goes, and the editor thread ends with nothing
// left to serve.
TEST_P(X11EmbedEndingTest, TheViewIsRemovedAndReleasedAndNothingIsLeft)
{
    ASSERT_NE(embedIn(panel), 0u);
    plugin.clearLog();
    switch (GetParam().ending) {
    case Ending::removal:
        EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
        break;
    case Ending::parentDestroyed:
        destroyProgramWindow(panel);
        panelDestroyed = true;
        break;
    case Ending::detach:
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        break;
    case Ending::channelFree:
        EXPECT_EQ(TALVEN_ChannelFree(stream), 1);
        break;
    }
    EXPECT_TRUE(waitUntil([&] { return plugin.liveViews() == 0; }));
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
    const std::vector<std::string> log = plugin.log();
    const auto removed = std::find(log.begin(), log.end(), "removed");
    const auto frameGone = std::find(log.begin(), log.end(), "setFrame null");
    EXPECT_LT(removed, frameGone);
    if (!panelDestroyed) {
        EXPECT_TRUE(waitUntil([&] { return childrenOf(panel).empty(); }));
    }
    EXPECT_TRUE(waitUntil([] { return threadsNamed(kEditorThreadName) == 0; }));
    // What is left to take out afterwards is nothing, and takes nothing.
    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), GetParam().instanceLeft ? 1 : 0);
    std::int32_t width = 0;
    std::int32_t height = 0;
    EXPECT_EQ(TALVEN_GetEditorSize(handle, &width, &height), 0);
}

INSTANTIATE_TEST_SUITE_P(Endings, X11EmbedEndingTest, ::testing::ValuesIn(kEndings), endingName);

TEST_F(X11EmbedTest, AnEditorEmbedsAgainAfterARemovalAndMovesToAnotherWindow)
{
    ASSERT_NE(embedIn(panel), 0u);
    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    EXPECT_TRUE(waitUntil([&] { return childrenOf(panel).empty() && plugin.liveViews() == 0; }));
    ASSERT_NE(embedIn(panel), 0u);

    const Window second = makeProgramWindow(500, 400);
    ASSERT_NE(second, 0u);
    EXPECT_NE(embedIn(second), 0u);
    EXPECT_TRUE(waitUntil([&] { return childrenOf(panel).empty() && plugin.liveViews() == 1; }));
    EXPECT_THAT(plugin.logStartingWith("attached"), ElementsAre("attached X11EmbedWindowID", "attached X11EmbedWindowID", "attached X11EmbedWindowID"));
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed", "removed"));
    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    destroyProgramWindow(second);
}

TEST_F(X11EmbedTest, WhileEmbeddedTheLibrarysOwnWindowDoesNotOpen)
{
    ASSERT_NE(embedIn(panel), 0u);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 50, 60, nullptr, "Editor"), 1);
    EXPECT_THAT(editorWindows(), IsEmpty());
    EXPECT_EQ(plugin.liveViews(), 1);
    EXPECT_EQ(childrenOf(panel).size(), 1u);
    // Taken out, the view may go into the library's window again.
    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    EXPECT_NE(show(50, 60), 0u);
}

struct Refusal {
    const char* name;
    // The parent to pass, after the steps the case needs.
    std::function<Window()> parent;
    bool unknownHandle;
};

// A refusal makes no window, asks the plug-in for no view, and raises no X
// error in the program.
TEST_F(X11EmbedTest, WhatIsNotAWindowOrNotFreeToEmbedIsRefused)
{
    Display* const display = testDisplay();
    const Refusal refusals[] = {
        {"a pixmap",
         [display] {
             const Window root = DefaultRootWindow(display);
             const Pixmap pixmap = XCreatePixmap(display, root, 8, 8, static_cast<unsigned>(DefaultDepth(display, 0)));
             XSync(display, False);
             return static_cast<Window>(pixmap);
         },
         false},
        {"a destroyed window",
         [] {
             const Window gone = makeProgramWindow(10, 10);
             destroyProgramWindow(gone);
             return gone;
         },
         false},
        {"an id beyond X's range", [] { return static_cast<Window>(0xFFFFFFF0u); }, false},
        {"an input-only window",
         [display] {
             XSetWindowAttributes none{};
             const Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, InputOnly,
                                                 CopyFromParent, 0, &none);
             XSync(display, False);
             return window;
         },
         false},
        {"an unknown handle", [this] { return panel; }, true},
        {"a view the library's own window shows",
         [this] {
             EXPECT_NE(show(50, 60), 0u);
             return panel;
         },
         false},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        const Window parent = refusal.parent();
        const int viewsBefore = plugin.liveViews();
        plugin.clearLog();
        xlibErrors = 0;
        const XErrorHandler previous = XSetErrorHandler(countXlibError);
        EXPECT_EQ(TALVEN_EmbedEditor(refusal.unknownHandle ? handle + 1000 : handle, asParent(parent)), 0);
        XSync(display, False);
        XSetErrorHandler(previous);
        EXPECT_EQ(xlibErrors, 0);
        EXPECT_THAT(childrenOf(panel), IsEmpty());
        EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
        EXPECT_EQ(plugin.liveViews(), viewsBefore);
        TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr);
    }
}

TEST_F(X11EmbedTest, AViewThatResizesItselfResizesItsChildWindowAndThenCallsTheProgram)
{
    int calls = 0;
    ASSERT_EQ(TALVEN_SetEditorCallback(handle, recordResize, &calls), 1);
    const Window frame = embedIn(panel);
    ASSERT_NE(frame, 0u);
    int result = -1;
    onViewThread([&] { result = plugin.requestResize(450, 320); });
    EXPECT_EQ(result, Steinberg::kResultOk);
    // In-process the callback ran before resizeView returned; isolated it
    // comes from talven-host's report soon after.
    if (isolatedRun()) {
        EXPECT_TRUE(waitUntil([] {
            std::lock_guard<std::mutex> guard(reportsLock);
            return !resizeReports.empty();
        }));
    }
    EXPECT_THAT(takeResizeReports(), ElementsAre(ResizeReport{handle, 450, 320, 450, 320}));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(waitUntil([&] {
        const Geometry shown = geometryOf(frame);
        return shown.width == 450 && shown.height == 320;
    }));

    // Removed, the callback hears nothing more.
    ASSERT_EQ(TALVEN_SetEditorCallback(handle, nullptr, nullptr), 1);
    onViewThread([&] { result = plugin.requestResize(470, 330); });
    EXPECT_EQ(result, Steinberg::kResultOk);
    EXPECT_THAT(takeResizeReports(), IsEmpty());
    EXPECT_EQ(TALVEN_SetEditorCallback(handle + 1000, recordResize, &calls), 0);
}

TEST_F(X11EmbedTest, TheProgramsSizeGoesThroughTheViewsConstraints)
{
    int calls = 0;
    ASSERT_EQ(TALVEN_SetEditorCallback(handle, recordResize, &calls), 1);
    for (const SizeRequest& request : kSizeRequests) {
        SCOPED_TRACE(request.name);
        TalvenEditorOptions options = plugin.options();
        options.canResize = request.canResize;
        options.maxWidth = request.maxWidth;
        options.refuseSizes = request.refuseSizes;
        plugin.configure(options);
        const Window frame = embedIn(panel);
        ASSERT_NE(frame, 0u);
        std::int32_t width = request.width;
        std::int32_t height = request.height;
        EXPECT_EQ(TALVEN_SetEditorSize(handle, &width, &height), request.result);
        EXPECT_EQ(width, request.takenW);
        EXPECT_EQ(height, request.takenH);
        const std::int32_t childW = request.result ? request.takenW : 400;
        const std::int32_t childH = request.result ? request.takenH : 300;
        EXPECT_TRUE(waitUntil([&] {
            const Geometry shown = geometryOf(frame);
            return shown.width == childW && shown.height == childH;
        }));
        std::int32_t readW = 0;
        std::int32_t readH = 0;
        EXPECT_EQ(TALVEN_GetEditorSize(handle, &readW, &readH), 1);
        EXPECT_EQ(readW, childW);
        EXPECT_EQ(readH, childH);
        EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    }
    // The program asked: no callback.
    EXPECT_EQ(calls, 0);
    std::int32_t width = 300;
    std::int32_t height = 200;
    EXPECT_EQ(TALVEN_SetEditorSize(handle, &width, &height), 0);
    EXPECT_EQ(TALVEN_SetEditorSize(handle, nullptr, &height), 0);
    width = 0;
    EXPECT_EQ(TALVEN_SetEditorSize(handle, &width, &height), 0);
}

TEST_F(X11EmbedTest, TwoHundredEmbeddingsLeaveNoWindowViewOrThread)
{
    const int windowsBefore = allWindowCount();
    const int threadsBefore = threadCount();
    const int fdsBefore = openFdCount();
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(TALVEN_EmbedEditor(handle, asParent(panel)), 1) << "cycle " << i;
        ASSERT_EQ(childrenOf(panel).size(), 1u) << "cycle " << i;
        ASSERT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1) << "cycle " << i;
        // Destroyed on the editor thread's connection, which the server may
        // serve after this one.
        ASSERT_TRUE(waitUntil([&] { return childrenOf(panel).empty(); })) << "cycle " << i;
    }
    EXPECT_THAT(plugin.logStartingWith("attached"), testing::SizeIs(200));
    EXPECT_THAT(plugin.logStartingWith("removed"), testing::SizeIs(200));
    EXPECT_TRUE(waitUntil([&] {
        return plugin.liveViews() == 0 && threadsNamed(kEditorThreadName) == 0 && threadCount() <= threadsBefore
               && allWindowCount() == windowsBefore;
    }));
    EXPECT_EQ(allWindowCount(), windowsBefore);
    EXPECT_LE(openFdCount(), fdsBefore);
}

} // namespace
} // namespace talven::test
