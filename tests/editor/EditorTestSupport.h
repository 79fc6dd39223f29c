// Shared pieces of the editor tests: the EditorEffect plug-in's controls, an
// engine per test with channels to attach to, and a recording position
// callback.
#pragma once

#include "EditorExports.h"
#include "bass.h"
#include "talven.h"

#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace talven::test {

// The package path of a test plug-in built by this tree.
std::string testPluginPath(const std::string& name);

// A thread of any process, as EditorEffect names it in its events.
using ThreadToken = std::uint64_t;
// An event EditorEffect recorded (attached, timer, removed, controller
// getState, controller setState, terminate) and the thread it came on.
using Event = std::pair<std::string, ThreadToken>;

// The EditorEffect plug-in's library, opened beside the library's own load
// (the system counts the loads) to steer its editor and read its log. Starts
// from the default options and an empty log. In an isolated run the plug-in's
// record is a file talven-host maps too, so the same controls reach a plug-in
// running there (tests/plugins/editor_view/EditorExports.h).
class EditorPlugin {
public:
    EditorPlugin();
    ~EditorPlugin();
    EditorPlugin(const EditorPlugin&) = delete;
    EditorPlugin& operator=(const EditorPlugin&) = delete;

    bool loaded() const { return library_ != nullptr; }
    static std::string path() { return testPluginPath("EditorEffect"); }
    // The library inside the package.
    static std::string libraryPath();
    // Lets go of this load early; the controls answer nothing afterwards.
    void unload();

    TalvenEditorOptions options() const { return options_; }
    void configure(const TalvenEditorOptions& options);
    std::vector<std::string> log() const;
    // Log entries with this prefix, in order.
    std::vector<std::string> logStartingWith(const std::string& prefix) const;
    void clearLog() const;
    int requestResize(int width, int height) const;
    int liveViews() const;
    void* childWindow() const;
    int frameAnswersItself() const;
    // Has the newest view edit parameter id from its own thread (1), or 0
    // without an attached view.
    int requestEdit(unsigned id, double value) const;
    // Ticks of the views' run-loop timers (Linux).
    int runLoopTicks() const;
    // observer hears of removed views and terminated controllers (null: no more).
    void observe(TalvenEditorEventProc observer) const;
    // The events recorded since the last reset or clear, oldest first.
    std::vector<Event> events() const;
    void clearEvents() const;
    // The calling thread, as events name it.
    ThreadToken threadToken() const;
    // The plug-in of the test running now, or null.
    static const EditorPlugin* current();

private:
    template <typename Proc>
    Proc symbol(const char* name) const
    {
        return reinterpret_cast<Proc>(librarySymbol(library_, name));
    }

    LibraryHandle library_ = nullptr;
    TalvenEditorOptions options_{};
};

// Every report of recordPosition, as (left, top, closing), on any thread.
std::vector<std::array<int, 3>> positionReports();
void clearPositionReports();
void TALVEN_CALL recordPosition(int32_t left, int32_t top, int32_t closing);
void TALVEN_CALL recordPositionElsewhere(int32_t left, int32_t top, int32_t closing);

// An initialized engine per test and stereo float channels of a quiet tone;
// the trace file starts empty and EditorEffect's editor at its defaults.
class EditorEngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Its DSPs run on the thread that pulls its data.
    HSTREAM decodeStream();
    // Its DSPs run on the engine's mixing thread.
    HSTREAM playingStream();
    // Frames the sources have rendered so far, all streams together.
    std::int64_t framesRendered() const;
    // Attaches EditorEffect (or the named plug-in), isolated in an isolated
    // run; 0 on failure.
    std::uint32_t attach(HSTREAM stream, std::uint8_t showEditor = 0, int x = 0, int y = 0,
                         TALVEN_POSITIONPROC callback = nullptr, const char* title = "Editor",
                         const std::string& plugin = "EditorEffect");

    EditorPlugin plugin;

private:
    // A quiet stereo tone, so that a plug-in processing it has real work.
    struct Tone {
        static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user);
        std::atomic<std::int64_t> frame{0}; // written on the engine's threads
    };
    HSTREAM makeStream(DWORD flags);
    std::vector<std::unique_ptr<Tone>> sources_;
};

} // namespace talven::test
