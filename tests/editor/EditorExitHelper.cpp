// A program that loads libtalven.so at run time, shows EditorEffect's editor
// and then leaves the way the lifetime tests ask (argv[1]):
//   exit             exit() on the main thread, the editor open
//   exit-in-callback exit() from the position callback, on the editor thread
//   unload           dlclose() with the editor open, then exit()
//   unload-closed    detach, then dlclose(): the library is gone, and with it
//                    every thread of its own
// It exits 0 when all went as it should; a hang or crash is the failure the
// test looks for. With TALVEN_TEST_ISOLATED=1 it attaches isolated, and the
// editor is talven-host's, which must end with the program.
#include "X11TestSupport.h"

#include "bass.h"
#include "talven.h"

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using SetDspProc = decltype(&TALVEN_ChannelSetDSPWith);
using RemoveDspProc = decltype(&TALVEN_ChannelRemoveDSP);

// The exit's finalizers free what Xlib's calls on the main thread use, so
// the callback waits until the main thread is done with the display. (The
// move that calls it reaches it through the X server, an order a race
// detector cannot see.)
std::atomic<bool> mainDoneWithDisplay{false};

void TALVEN_CALL exitFromCallback(int32_t, int32_t, int32_t)
{
    while (!mainDoneWithDisplay.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::exit(0);
}

DWORD CALLBACK silence(HSTREAM, void* buffer, DWORD length, void*)
{
    std::memset(buffer, 0, length);
    return length;
}

bool waitFor(bool (*condition)())
{
    for (int i = 0; i < 3000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool editorThreadEnded()
{
    return talven::test::threadsNamed("talven-editor") == 0;
}

bool editorShows()
{
    const auto windows = talven::test::editorWindows();
    return windows.size() == 1 && talven::test::isViewable(windows.front());
}

int fail(const char* why)
{
    std::fprintf(stderr, "EditorExitHelper: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!talven::test::testDisplay())
        return fail("no X display");
    void* library = dlopen(TALVEN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return fail(dlerror());
    auto setDsp = reinterpret_cast<SetDspProc>(dlsym(library, "TALVEN_ChannelSetDSPWith"));
    auto removeDsp = reinterpret_cast<RemoveDspProc>(dlsym(library, "TALVEN_ChannelRemoveDSP"));
    if (!setDsp || !removeDsp || !BASS_Init(0, 48000, 0, nullptr, nullptr))
        return fail("no TALVEN_ChannelSetDSPWith or no engine");
    const HSTREAM stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, silence, nullptr);
    const std::string plugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/EditorEffect.vst3";
    const bool callbackExits = mode == "exit-in-callback";
    const char* isolated = std::getenv("TALVEN_TEST_ISOLATED");
    TALVEN_ATTACH attach{};
    attach.size = sizeof attach;
    attach.path = plugin.c_str();
    attach.flags = isolated && std::strcmp(isolated, "1") == 0 ? TALVEN_ATTACH_ISOLATED : 0;
    attach.showEditor = 1;
    attach.editorX = 30;
    attach.editorY = 40;
    attach.positionCallback = callbackExits ? exitFromCallback : nullptr;
    attach.title = "Leaving";
    const uint32_t handle = setDsp(stream, &attach);
    if (!handle)
        return fail("attach failed");
    if (!waitFor(editorShows))
        return fail("the editor did not show");

    if (mode == "exit")
        std::exit(0);
    if (callbackExits) {
        // The move reaches the callback on the editor thread (isolated, the
        // thread that hands on talven-host's reports), which exits.
        talven::test::moveWindow(talven::test::editorWindows().front(), 100, 100);
        mainDoneWithDisplay = true;
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return fail("the position callback was not called");
    }
    if (mode == "unload") {
        // Whether the system unloads it now or at exit, nothing of the
        // library may run unmapped.
        dlclose(library);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::exit(0);
    }
    if (mode == "unload-closed") {
        if (removeDsp(0, handle) != 1 || !waitFor(editorThreadEnded))
            return fail("the editor thread did not end with the last editor");
        dlclose(library);
        if (dlopen(TALVEN_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD))
            return fail("the library stayed loaded");
        return 0;
    }
    return fail("unknown mode");
}
