// Every callback of an isolated attachment may take that attachment down:
// the program's callbacks come from a thread of the library's that serves
// the plug-in's process, and a detach or the channel's free made on it must
// neither deadlock nor crash, must end the call that made the callback (if
// the program's own thread was in one), and must leave no process, thread
// or descriptor behind.
#include "AudioTestSupport.h"
#include "CheckedGain.h"
#include "IsolationTestSupport.h"

#include "talven.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <X11/Xlib.h>
#endif

namespace talven {
namespace {

using test::EngineTest;

enum class Detach { RemoveDsp, FreeChannel };

// What the callback under test knows: the attachment to take down and how.
struct Scene {
    HSTREAM channel = 0;
    std::uint32_t handle = 0;
    Detach how = Detach::RemoveDsp;
    std::atomic<int> calls{0};
    std::atomic<int> result{-2};
    std::atomic<bool> returned{false};
};

// The position callback carries no pointer of the program's.
std::atomic<Scene*> positionScene{nullptr};

void detachFrom(Scene& scene)
{
    if (scene.calls.fetch_add(1) > 0)
        return;
    scene.result = scene.how == Detach::RemoveDsp ? TALVEN_ChannelRemoveDSP(scene.channel, scene.handle)
                                                  : TALVEN_ChannelFree(scene.channel);
    scene.returned = true;
}

void TALVEN_CALL onStatus(std::uint32_t, std::int32_t, void* user)
{
    detachFrom(*static_cast<Scene*>(user));
}

void TALVEN_CALL onParam(std::uint32_t, std::uint32_t, double, void* user)
{
    detachFrom(*static_cast<Scene*>(user));
}

void TALVEN_CALL onEditorResize(std::uint32_t, std::int32_t, std::int32_t, void* user)
{
    detachFrom(*static_cast<Scene*>(user));
}

void TALVEN_CALL onPosition(std::int32_t, std::int32_t, std::int32_t)
{
    if (Scene* scene = positionScene.load())
        detachFrom(*scene);
}

void setEnvironment(const char* name, const char* value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

class IsolatedCallbackDetachTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        test::setMinimumWait("20000");
#ifndef _WIN32
        display_ = XOpenDisplay(nullptr);
#endif
    }
    void TearDown() override
    {
        setEnvironment("TALVEN_EDITOR_EFFECT_FIRST_TICK", nullptr);
#ifndef _WIN32
        if (display_) {
            for (const Window window : panels_)
                XDestroyWindow(display_, window);
            XCloseDisplay(display_);
        }
#endif
        EngineTest::TearDown();
    }

public:
    // Editors need a display: the plug-in's process opens its windows on it.
    bool hasDisplay() const
    {
#ifdef _WIN32
        return true;
#else
        return display_ != nullptr;
#endif
    }

    // A window of the program's to embed the editor in, as an id any
    // process may name.
    void* panel()
    {
#ifdef _WIN32
        return nullptr;
#else
        const Window window = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 640, 480, 0, 0, 0);
        XMapWindow(display_, window);
        XSync(display_, False);
        panels_.push_back(window);
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
#endif
    }

    // Blocks through the channel until the callback has detached; the
    // channel may be freed meanwhile.
    bool playUntilDetached(Scene& scene)
    {
        std::vector<float> block(2 * 512);
        return test::waitFor([&] {
            if (!scene.returned.load())
                BASS_ChannelGetData(scene.channel, block.data(), static_cast<DWORD>(block.size() * sizeof(float)));
            return scene.returned.load();
        });
    }

private:
#ifndef _WIN32
    Display* display_ = nullptr;
    std::vector<Window> panels_;
#endif
};

// One callback and how the plug-in's process is made to raise it, from
// the program's thread.
struct CallbackCase {
    const char* name;
    const char* plugin;
    bool editor;           // needs a display
    bool embedded;         // an embedded view: X11 only
    const char* firstTick; // the EditorEffect view's own action
    std::function<void(IsolatedCallbackDetachTest&, Scene&)> raise;
};

TEST_F(IsolatedCallbackDetachTest, EachCallbackMayDetachOrFreeTheChannelOfItsOwnAttachment)
{
    const std::vector<CallbackCase> cases = {
        {"status callback, after a crash", "FaultyGain", false, false, nullptr,
         [](IsolatedCallbackDetachTest& test, Scene& scene) {
             ASSERT_EQ(TALVEN_SetStatusCallback(scene.handle, onStatus, &scene), 1);
             TALVEN_SetParam(scene.handle, testplugin::kCheckedFaultId,
                             static_cast<float>(static_cast<int>(testplugin::CheckedFault::Crash))
                                 / testplugin::kCheckedFaultSteps);
             EXPECT_TRUE(test.playUntilDetached(scene));
         }},
        // The program's thread waits in the call for the reports it caused.
        {"parameter callback, a program change's reports", "ProgramGain", false, false, nullptr,
         [](IsolatedCallbackDetachTest&, Scene& scene) {
             ASSERT_EQ(TALVEN_SetParamCallback(scene.handle, onParam, &scene), 1);
             TALVEN_SetProgram(scene.handle, 3);
         }},
        // The view acts on its first tick, which may come before the call
        // that showed it has its answer: the call fails then, detached.
        {"parameter callback, an edit in the editor", "EditorEffect", true, false, "edit",
         [](IsolatedCallbackDetachTest&, Scene& scene) {
             ASSERT_EQ(TALVEN_SetParamCallback(scene.handle, onParam, &scene), 1);
             TALVEN_ShowEditor(scene.handle, 1, 20, 20, nullptr, nullptr);
         }},
        {"editor callback, an embedded view that resized itself", "EditorEffect", true, true, "resize",
         [](IsolatedCallbackDetachTest& test, Scene& scene) {
             ASSERT_EQ(TALVEN_SetEditorCallback(scene.handle, onEditorResize, &scene), 1);
             TALVEN_EmbedEditor(scene.handle, test.panel());
         }},
        // The window's hide reports its closing while the program's thread
        // waits in the call that hid it.
        {"position callback, the editor hidden", "EditorEffect", true, false, nullptr,
         [](IsolatedCallbackDetachTest&, Scene& scene) {
             ASSERT_EQ(TALVEN_ShowEditor(scene.handle, 1, 30, 40, onPosition, nullptr), 1);
             positionScene = &scene;
             TALVEN_ShowEditor(scene.handle, 0, 0, 0, nullptr, nullptr);
         }},
    };
    for (const CallbackCase& c : cases) {
#ifdef _WIN32
        if (c.embedded || c.firstTick)
            continue; // no embedding across processes; the view acts on its own only on Linux
#endif
        if (c.editor && !hasDisplay())
            continue;
        for (const Detach how : {Detach::RemoveDsp, Detach::FreeChannel}) {
            SCOPED_TRACE(std::string(c.name) + (how == Detach::RemoveDsp ? ", detached" : ", channel freed"));
            setEnvironment("TALVEN_EDITOR_EFFECT_FIRST_TICK", c.firstTick);
            const long handlesBefore = test::openHandles();
            const long threadsBefore = test::threadCount();
            Scene scene;
            scene.how = how;
            scene.channel = decodeStream(2);
            scene.handle = test::attachTestPlugin(scene.channel, c.plugin, true);
            ASSERT_NE(scene.handle, 0u);
            pull(scene.channel, 2, 512);
            c.raise(*this, scene);
            ASSERT_TRUE(test::waitFor([&] { return scene.returned.load(); }));
            positionScene = nullptr;
            EXPECT_EQ(scene.result.load(), 1);
            EXPECT_EQ(scene.calls.load(), 1);
            // Gone for every call, and its process, threads and descriptors
            // with it once the callback's thread has let go.
            EXPECT_EQ(TALVEN_GetStatus(scene.handle), -1);
            EXPECT_EQ(TALVEN_GetParamCount(scene.handle), 0);
            EXPECT_EQ(TALVEN_ChannelRemoveDSP(scene.channel, scene.handle), 0);
            EXPECT_TRUE(test::waitFor(
                [&] { return test::threadCount() <= threadsBefore && test::noHandlesBeyond(handlesBefore); }))
                << test::threadCount() << " threads, " << test::openHandles() << " handles";
            test::expectNoChildProcess();
            if (how == Detach::RemoveDsp)
                BASS_StreamFree(scene.channel);
            // And the next attach starts a process of its own as ever.
            const HSTREAM next = decodeStream(2);
            const std::uint32_t again = test::attachTestPlugin(next, c.plugin, true);
            EXPECT_NE(again, 0u);
            EXPECT_EQ(TALVEN_GetStatus(again), TALVEN_STATUS_RUNNING);
            EXPECT_EQ(TALVEN_ChannelFree(next), 1);
            EXPECT_EQ(TALVEN_GetStatus(again), -1);
        }
    }
}

} // namespace
} // namespace talven
