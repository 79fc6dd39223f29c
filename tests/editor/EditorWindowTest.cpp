// The editor in real Win32 windows under the thread's own message pump:
// placement, the close button, moving and sizing, the view's resize
// requests, repeated showing and hiding, showing while audio runs, and
// detaching or freeing from another thread than the editor's. Run once more
// isolated (but for what this thread's own pump and module do): the windows
// are then talven-host's, reached across processes.
#include "EditorTestSupport.h"
#include "EditorWindowSupport.h"
#include "IsolatedRun.h"
#include "TestSupport.h"

#include "platform/TextConversion.h"
#include "registry/Registry.h"

#include "pluginterfaces/base/funknown.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace talven::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

using Report = std::array<int, 3>;

// In-process a window reports on this thread before the call returns;
// isolated the report crosses from talven-host soon after.
void awaitReports(std::size_t count)
{
    if (isolatedRun())
        waitUntil([&] { return positionReports().size() >= count; });
}

// In-process the windows are gone when the detach or the free returns;
// isolated, talven-host closes them on its own thread soon after.
bool noEditorWindowLeft()
{
    if (isolatedRun())
        return waitUntil([] { return editorWindows().empty(); });
    return editorWindows().empty();
}

// The window's console line, checked in-process (talven-host writes its own).
void expectConsole(const std::string& console, const std::string& expected)
{
    if (!isolatedRun()) {
        EXPECT_EQ(console, expected);
    }
}

class EditorWindowTest : public EditorEngineTest {
protected:
    void SetUp() override
    {
        EditorEngineTest::SetUp();
        stream = decodeStream();
        ASSERT_NE(stream, 0u);
        handle = attach(stream);
        ASSERT_NE(handle, 0u);
        // The attach asked for a view once, to learn whether there is one.
        plugin.clearLog();
    }
    void TearDown() override
    {
        TALVEN_ChannelRemoveDSP(0, handle);
        pumpMessages();
        EditorEngineTest::TearDown();
    }

    // Shows the editor and returns its frame window: the parent of the
    // view's child window.
    HWND show(int x, int y, TALVEN_POSITIONPROC callback = recordPosition, const char* title = "Editor")
    {
        if (TALVEN_ShowEditor(handle, 1, x, y, callback, title) != 1)
            return nullptr;
        const HWND child = static_cast<HWND>(plugin.childWindow());
        return child ? GetParent(child) : nullptr;
    }

    void allowResizing(int maxWidth = 0, bool resizeFromOnSize = false)
    {
        TalvenEditorOptions options = plugin.options();
        options.canResize = 1;
        options.maxWidth = maxWidth;
        options.resizeFromOnSize = resizeFromOnSize ? 1 : 0;
        plugin.configure(options);
    }

    HSTREAM stream = 0;
    std::uint32_t handle = 0;
};

TEST_F(EditorWindowTest, TheViewIsAChildWindowFillingAFrameCentredByItsClientSizeOrPlacedAtItsCorner)
{
    const HWND centred = show(0, 0, recordPosition, "Centred");
    ASSERT_NE(centred, nullptr);
    const HWND child = static_cast<HWND>(plugin.childWindow());
    EXPECT_TRUE(IsChild(centred, child));
    EXPECT_TRUE(IsWindowVisible(centred));
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_EQ(clientSize(centred).cx, 400);
    EXPECT_EQ(clientSize(centred).cy, 300);
    EXPECT_EQ(clientSize(child).cx, 400);
    EXPECT_EQ(outerRect(centred).left, GetSystemMetrics(SM_CXSCREEN) / 2 - 200);
    EXPECT_EQ(outerRect(centred).top, GetSystemMetrics(SM_CYSCREEN) / 2 - 150);
    EXPECT_EQ(windowText(centred), L"Centred");
    EXPECT_EQ(GetWindowLongW(centred, GWL_STYLE) & WS_SIZEBOX, 0); // the view cannot resize
    EXPECT_EQ(plugin.logStartingWith("attached"), std::vector<std::string>{"attached HWND"});
    EXPECT_EQ(plugin.frameAnswersItself(), 1);

    const HWND placed = show(30, 40);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(outerRect(placed).left, 30);
    EXPECT_EQ(outerRect(placed).top, 40);
    EXPECT_EQ(editorWindows(), std::vector<HWND>{placed}); // the hidden one is gone
}

TEST_F(EditorWindowTest, TitlesThatAreNullOrNotUtf8StillGiveAWindow)
{
    const HWND untitled = show(10, 10, nullptr, nullptr);
    ASSERT_NE(untitled, nullptr);
    EXPECT_EQ(windowText(untitled), L"");
    const HWND damaged = show(10, 10, nullptr, "Gain \xC3\x28 \xE2\x82\xAC");
    ASSERT_NE(damaged, nullptr);
    EXPECT_EQ(windowText(damaged), L"Gain \xFFFD( \x20AC");
}

TEST_F(EditorWindowTest, TheCloseButtonReportsTwiceAndHidesTheFrameAfterTakingTheViewOut)
{
    const HWND frame = show(30, 40);
    ASSERT_NE(frame, nullptr);
    const HWND child = static_cast<HWND>(plugin.childWindow());
    plugin.clearLog();

    CaptureStdout();
    EXPECT_EQ(SendMessageW(frame, WM_CLOSE, 0, 0), 1);
    expectConsole(GetCapturedStdout(), "Window::close\n");
    awaitReports(2);
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}, Report{30, 40, 1}));
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_FALSE(IsWindowVisible(frame));
    EXPECT_THAT(plugin.log(), ElementsAre("removed", "setFrame null"));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(plugin.liveViews(), 0);

    // The instance still has the window: hiding hides it once more.
    CaptureStdout();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    expectConsole(GetCapturedStdout(), "Window::close\n");
    EXPECT_EQ(positionReports().size(), 3u);
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
}

TEST_F(EditorWindowTest, FinishingAMoveOrResizeReportsThePositionOnceWithClosingZero)
{
    const HWND frame = show(30, 40);
    ASSERT_NE(frame, nullptr);
    SetWindowPos(frame, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(frame, WM_EXITSIZEMOVE, 0, 0);
    awaitReports(1);
    EXPECT_THAT(positionReports(), ElementsAre(Report{120, 90, 0}));
}

TEST_F(EditorWindowTest, DraggingABorderIsHeldToTheWidthTheViewAccepts)
{
    allowResizing(500);
    const HWND frame = show(100, 100);
    ASSERT_NE(frame, nullptr);
    EXPECT_NE(GetWindowLongW(frame, GWL_STYLE) & WS_SIZEBOX, 0);
    const RECT outer = outerRect(frame);
    const int frameWidth = (outer.right - outer.left) - 400;
    const int frameHeight = (outer.bottom - outer.top) - 300;
    RECT proposed = outer;
    proposed.left -= 300; // content width 700
    const RECT before = proposed;
    plugin.clearLog();

    EXPECT_EQ(SendMessageW(frame, WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&proposed)), 1);
    EXPECT_THAT(plugin.log(), ElementsAre("checkSizeConstraint 700x300"));
    EXPECT_EQ(proposed.left, before.left);
    EXPECT_EQ(proposed.right, before.left + 500 + frameWidth);
    EXPECT_EQ(proposed.bottom, before.top + 300 + frameHeight);
}

TEST_F(EditorWindowTest, AResizeRequestFromTheViewResizesTheFrameInPlaceAndCallsOnSize)
{
    allowResizing();
    const HWND frame = show(50, 60);
    ASSERT_NE(frame, nullptr);
    plugin.clearLog();
    EXPECT_EQ(plugin.requestResize(500, 350), Steinberg::kResultOk);
    EXPECT_EQ(clientSize(frame).cx, 500);
    EXPECT_EQ(clientSize(frame).cy, 350);
    EXPECT_EQ(outerRect(frame).left, 50);
    EXPECT_EQ(outerRect(frame).top, 60);
    EXPECT_EQ(clientSize(static_cast<HWND>(plugin.childWindow())).cx, 500);
    EXPECT_THAT(plugin.logStartingWith("onSize"), ElementsAre("onSize 500x350", "onSize 500x350"));

    // The size it has: nothing for the window to do, but onSize all the same.
    plugin.clearLog();
    EXPECT_EQ(plugin.requestResize(500, 350), Steinberg::kResultOk);
    EXPECT_THAT(plugin.logStartingWith("onSize"), ElementsAre("onSize 500x350"));
}

TEST_F(EditorWindowTest, AResizeRequestFromInsideOnSizeIsRefused)
{
    allowResizing(0, true);
    const HWND frame = show(50, 60);
    ASSERT_NE(frame, nullptr);
    plugin.clearLog();
    EXPECT_EQ(plugin.requestResize(600, 400), Steinberg::kResultOk);
    EXPECT_THAT(plugin.logStartingWith("resizeView"),
                ElementsAre("resizeView 610x410 -> 1", "resizeView 610x410 -> 1", "resizeView 600x400 -> 0"));
    EXPECT_EQ(clientSize(frame).cx, 600);
}

TEST_F(EditorWindowTest, ShowingTwiceHidesTheFirstFrameAndShowsANewViewInASecond)
{
    const HWND first = show(30, 40);
    CaptureStdout();
    const HWND second = show(60, 70, recordPositionElsewhere);
    const std::string console = GetCapturedStdout();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    if (!isolatedRun()) {
        EXPECT_EQ(console.rfind("Window::close\nWindow::show\nwindowPtr:", 0), 0u) << console;
    }
    EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}));
    EXPECT_THAT(plugin.logStartingWith("createView"), ElementsAre("createView editor", "createView editor"));
    EXPECT_EQ(plugin.liveViews(), 1);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindowVisible(second));
}

TEST_F(EditorWindowTest, HidingAnEditorNeverShownAndShowingWithoutAViewOpenNothing)
{
    CaptureStdout();
    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, recordPosition, "t"), 1);
    expectConsole(GetCapturedStdout(), "");
    EXPECT_THAT(editorWindows(), IsEmpty());

    const std::uint32_t viewless = attach(decodeStream(), 1, 0, 0, recordPosition, "t", "MinimalEffect");
    ASSERT_NE(viewless, 0u);
    EXPECT_EQ(TALVEN_ShowEditor(viewless, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_THAT(editorWindows(), IsEmpty());
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, viewless), 1);
}

TEST_F(EditorWindowTest, ShowingAfterTheDetachOpensNothing)
{
    if (isolatedRun())
        GTEST_SKIP() << "holds the instance in this process's registry, where an isolated one is not";
    ASSERT_NE(refHandle(handle), nullptr); // as a call still running would
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 0, 0, recordPosition, "t"), 1);
    EXPECT_THAT(editorWindows(), IsEmpty());
    EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
    unrefHandle(handle);
}

TEST_F(EditorWindowTest, DetachingOrFreeingTheChannelClosesTheEditorAndLeavesNoWindow)
{
    ASSERT_NE(show(30, 40), nullptr);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
    // Isolated the window closes on talven-host's thread after the detach,
    // as one closed on another thread than the detaching one: not reported.
    if (isolatedRun()) {
        EXPECT_THAT(positionReports(), IsEmpty());
    } else {
        EXPECT_THAT(positionReports(), ElementsAre(Report{30, 40, 1}));
    }
    pumpMessages();
    EXPECT_TRUE(noEditorWindowLeft());

    handle = attach(stream, 1, 10, 20, recordPosition);
    ASSERT_EQ(editorWindows().size(), 1u);
    EXPECT_TRUE(TALVEN_ChannelFree(stream));
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed", "removed"));
    EXPECT_EQ(plugin.liveViews(), 0);
    pumpMessages();
    EXPECT_TRUE(noEditorWindowLeft());
}

TEST_F(EditorWindowTest, OpeningAndClosingTheEditorHundredsOfTimesWhileAudioPlaysLeavesNothingBehind)
{
    const HSTREAM playing = playingStream();
    ASSERT_NE(playing, 0u);
    const std::uint32_t live = attach(playing);
    ASSERT_NE(live, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(playing, FALSE));
    // Counted after one showing and hiding: the system makes a few windows of
    // its own for a thread's first window. What stays is the hidden frame.
    ASSERT_EQ(TALVEN_ShowEditor(live, 1, 20, 30, recordPosition, "Live"), 1);
    ASSERT_EQ(TALVEN_ShowEditor(live, 0, 0, 0, nullptr, nullptr), 1);
    pumpMessages();
    const int windowsBefore = threadWindowCount();
    const std::int64_t framesBefore = framesRendered();

    // Isolated every step is a round trip to talven-host, slow under Wine.
    const int cycles = isolatedRun() ? 15 : 300;
    CaptureStdout();
    for (int i = 0; i < cycles; ++i) {
        ASSERT_EQ(TALVEN_ShowEditor(live, 1, 20 + i % 50, 30, recordPosition, "Live"), 1);
        pumpMessages();
        if (i % 3 == 0) {
            const HWND child = static_cast<HWND>(plugin.childWindow());
            ASSERT_NE(child, nullptr);
            SendMessageW(GetParent(child), WM_CLOSE, 0, 0); // the user's close
        } else if (i % 3 == 1) {
            ASSERT_EQ(TALVEN_ShowEditor(live, 0, 0, 0, nullptr, nullptr), 1);
        }
        pumpMessages();
    }
    GetCapturedStdout();

    EXPECT_LE(editorWindows().size(), 1u);
    EXPECT_LE(plugin.liveViews(), 1);
    EXPECT_LE(threadWindowCount(), windowsBefore + 1); // the view's own window besides
    EXPECT_TRUE(waitUntil([&] { return framesRendered() > framesBefore; })); // audio went on
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, live), 1);
    pumpMessages();
    EXPECT_TRUE(noEditorWindowLeft());
    EXPECT_EQ(plugin.liveViews(), 0);
}

// What the plug-in reports while it goes, with the thread it goes on; kept in
// this program, so that it outlives the plug-in's module.
std::mutex eventsLock;
std::vector<std::pair<std::string, DWORD>> events;

void recordEvent(const char* event)
{
    std::lock_guard<std::mutex> guard(eventsLock);
    events.emplace_back(event, GetCurrentThreadId());
}

std::vector<std::pair<std::string, DWORD>> recordedEvents()
{
    std::lock_guard<std::mutex> guard(eventsLock);
    return events;
}

bool pluginLibraryLoaded()
{
    const auto wide = utf8ToWide(EditorPlugin::libraryPath());
    return wide && GetModuleHandleW(wide->c_str()) != nullptr;
}

// Runs call on another thread. True when it finished while this thread
// dispatched nothing: it must never wait for the editor's thread. Dispatches
// afterwards until it ends either way, so that a call that does wait still
// ends.
bool finishesWithoutThisThread(const std::function<void()>& call)
{
    std::atomic<bool> done{false};
    std::thread other([&] {
        call();
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool alone = done;
    while (!done) {
        pumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    other.join();
    return alone;
}

// The editor shows on the test thread; the instance goes on another. The
// test's own load of the plug-in is given up first, so that the library's
// release is the module's last.
class ForeignThreadTeardownTest : public EditorWindowTest {
protected:
    void SetUp() override
    {
        if (isolatedRun())
            GTEST_SKIP() << "the editor shows on this thread and the plug-in's module unloads from this process";
        EditorWindowTest::SetUp();
        {
            std::lock_guard<std::mutex> guard(eventsLock);
            events.clear();
        }
        plugin.observe(recordEvent);
        frame = show(30, 40);
        ASSERT_NE(frame, nullptr);
        child = static_cast<HWND>(plugin.childWindow());
        ASSERT_TRUE(IsWindow(child));
        plugin.unload();
        ASSERT_TRUE(pluginLibraryLoaded()); // the instance's own load
    }

    // Pumps this thread's messages until the plug-in terminated and the frame
    // is gone, then checks that the teardown ran here, in order, and that the
    // module went with it.
    void expectTornDownOnThisThread()
    {
        EXPECT_TRUE(waitUntil([&] { return recordedEvents().size() >= 3 && !IsWindow(frame); }));
        const DWORD self = GetCurrentThreadId();
        using Event = std::pair<std::string, DWORD>;
        EXPECT_THAT(recordedEvents(),
                    ElementsAre(Event{"attached", self}, Event{"removed", self}, Event{"terminate", self}));
        EXPECT_FALSE(IsWindow(child));
        EXPECT_THAT(editorWindows(), IsEmpty());
        // More messages once the module is gone reach none of its code.
        PostMessageW(nullptr, WM_NULL, 0, 0);
        for (int i = 0; i < 5; ++i) {
            InvalidateRect(nullptr, nullptr, TRUE);
            pumpMessages();
        }
        EXPECT_FALSE(pluginLibraryLoaded());
    }

    HWND frame = nullptr;
    HWND child = nullptr;
};

TEST_F(ForeignThreadTeardownTest, ADetachOnAnotherThreadClosesTheEditorAndReleasesThePluginOnTheEditorsThread)
{
    int detached = -1;
    EXPECT_TRUE(finishesWithoutThisThread([&] { detached = TALVEN_ChannelRemoveDSP(0, handle); }));
    EXPECT_EQ(detached, 1);
    expectTornDownOnThisThread();
    // Closed here after the detach returned on the other thread: the program
    // may have let its callback go by then, so the close is not reported.
    EXPECT_THAT(positionReports(), IsEmpty());
}

TEST_F(ForeignThreadTeardownTest, FreeingTheChannelOnAnotherThreadClosesTheEditorAndReleasesThePluginOnTheEditorsThread)
{
    int32_t freed = 0;
    EXPECT_TRUE(finishesWithoutThisThread([&] { freed = TALVEN_ChannelFree(stream); }));
    EXPECT_NE(freed, 0);
    expectTornDownOnThisThread();
    EXPECT_THAT(positionReports(), IsEmpty());
}

// The editor shows on a thread that ends, without dispatching another
// message, after a detach elsewhere handed it the editor's close: the close
// never runs there, so the next call of the library releases the plug-in.
TEST_F(EditorWindowTest, ACloseHandedToAnEditorsThreadThatEndsIsCarriedOutByTheNextCall)
{
    if (isolatedRun())
        GTEST_SKIP() << "the editor's thread to end is one of this process's";
    plugin.observe(recordEvent);
    std::atomic<int> stage{0};
    std::atomic<std::uint32_t> shown{0};
    const HSTREAM other = decodeStream();
    std::thread editorThread([&] {
        shown = attach(other, 1, 30, 40, recordPosition, "t");
        stage = 1;
        while (stage.load() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(waitUntil([&] { return stage.load() == 1; }));
    ASSERT_NE(shown.load(), 0u);
    {
        // The view's attach on that thread is not what this test looks at.
        std::lock_guard<std::mutex> guard(eventsLock);
        events.clear();
    }
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, shown), 1); // hands the close to that thread
    stage = 2;
    editorThread.join();
    EXPECT_THAT(recordedEvents(), IsEmpty());

    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    const DWORD self = GetCurrentThreadId();
    using Event = std::pair<std::string, DWORD>;
    EXPECT_THAT(recordedEvents(), ElementsAre(Event{"removed", self}, Event{"terminate", self}));
    plugin.observe(nullptr);
}

} // namespace
} // namespace talven::test
