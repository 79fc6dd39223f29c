// The parameter callback hearing the edits made in the plug-in's own editor,
// with real editor windows (Win32 under the thread's message pump, X11 on the
// library's editor thread): which thread, which id and value, what is not
// echoed, and a detach from inside the callback. Run once more isolated:
// the view then edits in talven-host and the report crosses to this process.
#include "EditorTestSupport.h"
#include "IsolatedRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace talven::test {
namespace {

constexpr std::uint32_t kLevel = 0;

struct Report {
    std::uint32_t handle;
    std::uint32_t id;
    double value;
    std::thread::id thread;
};

// What the callbacks heard, from whichever thread they ran on.
struct Reports {
    std::mutex lock;
    std::vector<Report> heard;
    std::thread::id viewThread; // where the view was attached: the editor's thread

    std::vector<Report> copy()
    {
        std::lock_guard<std::mutex> guard(lock);
        return heard;
    }
    void add(const Report& report)
    {
        std::lock_guard<std::mutex> guard(lock);
        heard.push_back(report);
    }
};

// Read by the plug-in's observer on the editor thread, which may still be
// tearing the last instance down (a Linux detach does not wait for it) while
// the next test sets this.
std::atomic<Reports*> reports{nullptr};

void TALVEN_CALL hear(uint32_t handle, uint32_t id, double value, void* user)
{
    static_cast<Reports*>(user)->add({handle, id, value, std::this_thread::get_id()});
}

void noteViewThread(const char* event)
{
    Reports* const current = reports.load();
    if (current && std::strcmp(event, "attached") == 0) {
        std::lock_guard<std::mutex> guard(current->lock);
        current->viewThread = std::this_thread::get_id();
    }
}

class EditorEditReportTest : public EditorEngineTest {
protected:
    void SetUp() override
    {
        EditorEngineTest::SetUp();
        reports = &heard;
        plugin.observe(noteViewThread);
        stream = playingStream();
        ASSERT_NE(stream, 0u);
        ASSERT_EQ(BASS_ChannelPlay(stream, FALSE), TRUE);
        handle = attach(stream);
        ASSERT_NE(handle, 0u);
    }
    void TearDown() override
    {
        if (handle)
            TALVEN_ChannelRemoveDSP(0, handle);
        plugin.observe(nullptr);
        reports = nullptr;
        EditorEngineTest::TearDown();
    }

    // Shows the editor and waits until the view sits in it.
    bool showEditor()
    {
        return TALVEN_ShowEditor(handle, 1, 0, 0, nullptr, "Edits") == 1
               && waitUntil([&] { return plugin.childWindow() != nullptr; });
    }

    std::thread::id viewThread()
    {
        std::lock_guard<std::mutex> guard(heard.lock);
        return heard.viewThread;
    }

    Reports heard;
    HSTREAM stream = 0;
    std::uint32_t handle = 0;
};

TEST_F(EditorEditReportTest, AnEditInTheEditorIsReportedOnTheEditorsThreadWithItsIdAndValue)
{
    ASSERT_EQ(TALVEN_SetParamCallback(handle, hear, &heard), 1);
    ASSERT_TRUE(showEditor());

    ASSERT_EQ(plugin.requestEdit(kLevel, 0.75), 1);
    ASSERT_TRUE(waitUntil([&] { return !heard.copy().empty(); }));
    const std::vector<Report> first = heard.copy();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].handle, handle);
    EXPECT_EQ(first[0].id, kLevel);
    EXPECT_EQ(first[0].value, 0.75);
    // Isolated, the callback runs on the thread of this process that hands on
    // talven-host's reports, while the view's thread is talven-host's.
    if (!isolatedRun()) {
        EXPECT_EQ(first[0].thread, viewThread());
    }
    // The controller holds the edit, and the processor gets it with the blocks.
    EXPECT_EQ(TALVEN_GetParam(handle, kLevel), 0.75);

    // The program's own changes are not echoed back to it.
    ASSERT_EQ(TALVEN_SetParam(handle, kLevel, 0.25f), 0);
    ASSERT_EQ(plugin.requestEdit(kLevel, 0.5), 1);
    ASSERT_TRUE(waitUntil([&] { return heard.copy().size() >= 2; }));
    const std::vector<Report> all = heard.copy();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].value, 0.5);
}

TEST_F(EditorEditReportTest, NoCallbackHearsEditsOnceItIsRemoved)
{
    ASSERT_EQ(TALVEN_SetParamCallback(handle, hear, &heard), 1);
    ASSERT_EQ(TALVEN_SetParamCallback(handle, nullptr, nullptr), 1);
    ASSERT_TRUE(showEditor());
    plugin.clearLog();
    ASSERT_EQ(plugin.requestEdit(kLevel, 0.75), 1);
    ASSERT_TRUE(waitUntil([&] { return !plugin.logStartingWith("performEdit").empty(); }));
    EXPECT_TRUE(heard.copy().empty());
    EXPECT_EQ(TALVEN_GetParam(handle, kLevel), 0.75);
}

// What the detaching callback saw.
struct DetachFromCallback {
    std::atomic<std::uint32_t> handle{0};
    std::atomic<int> result{-1};
    std::atomic<int> calls{0};
};

void TALVEN_CALL detachHere(uint32_t handle, uint32_t, double, void* user)
{
    auto* state = static_cast<DetachFromCallback*>(user);
    ++state->calls;
    state->result = TALVEN_ChannelRemoveDSP(0, handle);
}

TEST_F(EditorEditReportTest, ADetachFromInsideTheCallbackTakesTheEditorDownWithoutHangingOrCrashing)
{
    DetachFromCallback state;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, detachHere, &state), 1);
    ASSERT_TRUE(showEditor());

    ASSERT_EQ(plugin.requestEdit(kLevel, 0.75), 1);
    ASSERT_TRUE(waitUntil([&] { return state.result.load() != -1; }));
    EXPECT_EQ(state.result.load(), 1);
    EXPECT_TRUE(waitUntil([&] { return plugin.liveViews() == 0; }));
    TALVEN_INFO info{};
    info.size = sizeof info;
    EXPECT_EQ(TALVEN_GetInfo(handle, &info), 0);
    EXPECT_EQ(TALVEN_SetParamCallback(handle, hear, &heard), 0);
    handle = 0;
    // The channel plays on without the plug-in.
    const std::int64_t before = framesRendered();
    EXPECT_TRUE(waitUntil([&] { return framesRendered() > before + 4096; }));
    EXPECT_EQ(state.calls.load(), 1);
}

#ifndef _WIN32
// A callback still running on the editor thread when another thread
// detaches: the detach returns only after it.
struct SlowCallback {
    std::atomic<bool> entered{false};
    std::atomic<bool> left{false};
};

void TALVEN_CALL hearSlowly(uint32_t, uint32_t, double, void* user)
{
    auto* state = static_cast<SlowCallback*>(user);
    state->entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    state->left = true;
}

TEST_F(EditorEditReportTest, ADetachReturnsOnlyAfterACallbackInProgressOnAnotherThread)
{
    SlowCallback state;
    ASSERT_EQ(TALVEN_SetParamCallback(handle, hearSlowly, &state), 1);
    ASSERT_TRUE(showEditor());
    ASSERT_EQ(plugin.requestEdit(kLevel, 0.75), 1);
    ASSERT_TRUE(waitUntil([&] { return state.entered.load(); }));
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_TRUE(state.left.load());
    handle = 0;
}
#endif

} // namespace
} // namespace talven::test
