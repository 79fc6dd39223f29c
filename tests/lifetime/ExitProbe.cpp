// A program that uses the library and then ends in one of the ways programs
// end, for ExitOrderTest, which runs it in a child process with a time
// limit. Built twice: loading the library at run time (dlopen/LoadLibrary,
// as ctypes, P/Invoke and plug-in-style loaders do) and, with
// TALVEN_EXIT_PROBE_LINKED, linked against it at build time.
//
// Usage: talven_exit_probe <scenario>. Exit codes: 0 (or 7, for the exit
// from another thread) when everything went as expected; 2 an attach
// answered otherwise than expected, 3 the library stayed loaded, 4 the
// library could not be loaded, 5 the engine failed, 6 an unknown scenario,
// 8 the library was unmapped while a timer into it still ran, 9 a plug-in
// stayed loaded after the library was unloaded.
#include "bass.h"
#include "talven.h"

#ifndef _WIN32
#include "EditorExports.h"
#include "EntryLog.h"
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <dlfcn.h>
#endif

namespace {

using SetDspProc = decltype(&TALVEN_ChannelSetDSP);
using RemoveDspProc = decltype(&TALVEN_ChannelRemoveDSP);
using GetBypassProc = decltype(&TALVEN_GetBypass);
using SetDspWithProc = decltype(&TALVEN_ChannelSetDSPWith);
using GetStatusProc = decltype(&TALVEN_GetStatus);
using SetSidechainProc = decltype(&TALVEN_SetSidechain);
using StreamCreateProc = decltype(&TALVEN_StreamCreate);

// The exported functions the scenarios call, however the library came in.
struct Library {
    void* handle = nullptr;
    SetDspProc setDsp = nullptr;
    RemoveDspProc removeDsp = nullptr;
    GetBypassProc getBypass = nullptr;
    SetDspWithProc setDspWith = nullptr;
    GetStatusProc getStatus = nullptr;
    SetSidechainProc setSidechain = nullptr;
    StreamCreateProc streamCreate = nullptr;
};

Library library;

#ifdef TALVEN_EXIT_PROBE_LINKED
bool openLibrary()
{
    library.setDsp = &TALVEN_ChannelSetDSP;
    library.removeDsp = &TALVEN_ChannelRemoveDSP;
    library.getBypass = &TALVEN_GetBypass;
    library.setDspWith = &TALVEN_ChannelSetDSPWith;
    library.getStatus = &TALVEN_GetStatus;
    library.setSidechain = &TALVEN_SetSidechain;
    library.streamCreate = &TALVEN_StreamCreate;
    return true;
}
#else
#ifdef _WIN32
void* openHandle()
{
    return LoadLibraryW(L"talven.dll");
}
void* symbol(const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library.handle), name));
}
void closeLibrary()
{
    FreeLibrary(static_cast<HMODULE>(library.handle));
}
bool libraryLoaded()
{
    return GetModuleHandleW(L"talven.dll") != nullptr;
}
#else
void* openHandle()
{
    return dlopen(TALVEN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
}
void* symbol(const char* name)
{
    return dlsym(library.handle, name);
}
void closeLibrary()
{
    dlclose(library.handle);
}
bool libraryLoaded()
{
    void* again = dlopen(TALVEN_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (again)
        dlclose(again);
    return again != nullptr;
}
#endif

bool openLibrary()
{
    library.handle = openHandle();
    if (!library.handle)
        return false;
    library.setDsp = reinterpret_cast<SetDspProc>(symbol("TALVEN_ChannelSetDSP"));
    library.removeDsp = reinterpret_cast<RemoveDspProc>(symbol("TALVEN_ChannelRemoveDSP"));
    library.getBypass = reinterpret_cast<GetBypassProc>(symbol("TALVEN_GetBypass"));
    library.setDspWith = reinterpret_cast<SetDspWithProc>(symbol("TALVEN_ChannelSetDSPWith"));
    library.getStatus = reinterpret_cast<GetStatusProc>(symbol("TALVEN_GetStatus"));
    library.setSidechain = reinterpret_cast<SetSidechainProc>(symbol("TALVEN_SetSidechain"));
    library.streamCreate = reinterpret_cast<StreamCreateProc>(symbol("TALVEN_StreamCreate"));
    return library.setDsp && library.removeDsp && library.getBypass && library.setDspWith && library.getStatus
           && library.setSidechain && library.streamCreate;
}
#endif

const std::string probePlugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/ProbeStereo.vst3";
// Its processor ends the process with TALVEN_TEST_PROCESS_AFTER_STATICS_EXIT_CODE
// when called after the exit destroyed its module's static objects.
const std::string staticsPlugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/GlobalState.vst3";

// Lets time pass; on Windows this thread's messages are dispatched meanwhile,
// so that a thread timer started here ticks (and would call into a library
// that is gone).
void pass(std::chrono::milliseconds span)
{
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
#ifdef _WIN32
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
#endif
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

DWORD CALLBACK tone(HSTREAM, void* buffer, DWORD length, void*)
{
    auto* samples = static_cast<float*>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); ++i)
        samples[i] = (i % 64) / 128.0f;
    return length;
}

HSTREAM makeStream(bool playing)
{
    const HSTREAM stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | (playing ? 0 : BASS_STREAM_DECODE), tone,
                                             nullptr);
    if (stream && playing)
        BASS_ChannelPlay(stream, FALSE);
    return stream;
}

std::uint32_t attach(HSTREAM stream, const std::string& path)
{
    return library.setDsp(stream, path.c_str(), 0, 0, 0, 0, 0, nullptr, "exit probe");
}

// A failed attach makes and destroys an instance: the idle timer runs.
bool failAnAttach(HSTREAM stream)
{
    return attach(stream, "no such plug-in.vst3") == 0;
}

int failedAttachThenReturn()
{
    return failAnAttach(makeStream(false)) ? 0 : 2;
}

// Two plug-ins stay attached to playing channels: the engine's mixing
// thread keeps calling their DSPs while the process ends.
bool attachToPlayingChannels(std::uint32_t& handle)
{
    handle = attach(makeStream(true), probePlugin);
    return handle != 0 && attach(makeStream(true), staticsPlugin) != 0 && failAnAttach(makeStream(false));
}

int attachedThenReturn()
{
    std::uint32_t handle = 0;
    if (!attachToPlayingChannels(handle))
        return 2;
    pass(std::chrono::milliseconds(100));
    return library.getBypass(handle) == 0 ? 0 : 2;
}

// A plug-in in a process of its own, attached to a decoding channel that
// has run a block through it: the library's threads that serve the process
// must not outlive the library (unload), nor keep the program from ending
// (return).
std::uint32_t attachIsolatedAndPull()
{
    const HSTREAM stream = makeStream(false);
    TALVEN_ATTACH options{};
    options.size = sizeof options;
    options.path = probePlugin.c_str();
    options.flags = TALVEN_ATTACH_ISOLATED;
    const std::uint32_t handle = library.setDspWith(stream, &options);
    float block[2 * 512];
    if (handle == 0 || BASS_ChannelGetData(stream, block, sizeof block) != sizeof block ||
        library.getStatus(handle) != TALVEN_STATUS_RUNNING)
        return 0;
    return handle;
}

int isolatedThenReturn()
{
    return attachIsolatedAndPull() != 0 ? 0 : 2;
}

#ifndef _WIN32
// A real plug-in (DPF's, whose exit point frees what its static objects
// hold) detached with its editor open right before the program returns:
// the editor's thread ends the view and lets go of the module last, which
// leaves the module's exit point to a thread that may run it, the exit.
// It must run before the module's static objects go.
int editorDetachedThenReturn()
{
    const HSTREAM stream = makeStream(true);
    const std::uint32_t handle =
        library.setDsp(stream, "/usr/lib/vst3/ZamEQ2.vst3", 0, 0, 1, 20, 20, nullptr, "exit probe");
    if (handle == 0)
        return 2;
    pass(std::chrono::milliseconds(300));
    if (library.removeDsp(stream, handle) != 1)
        return 2;
    pass(std::chrono::milliseconds(300)); // the editor thread closes the view
    return 0;
}
#endif

#ifndef TALVEN_EXIT_PROBE_LINKED
// Ends every process this one started (Linux: its threads' children).
void endChildProcesses()
{
#ifndef _WIN32
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* task = readdir(tasks)) {
            if (task->d_name[0] == '.')
                continue;
            const std::string list = std::string("/proc/self/task/") + task->d_name + "/children";
            if (FILE* children = std::fopen(list.c_str(), "r")) {
                int pid = 0;
                while (std::fscanf(children, "%d", &pid) == 1)
                    kill(pid, SIGKILL);
                std::fclose(children);
            }
        }
        closedir(tasks);
    }
#endif
}

// Every kind of callback the library sets on BASS, on channels that go on
// playing after the library is unloaded (as a program's runtime unloads it
// at its end): a DSP in-process and isolated, a side-chain's DSP, an
// instrument's stream, and their free syncs. None may be called into the
// unmapped library; the instrument's stream goes with it. (On Windows the
// library stays once it has isolated a plug-in: no isolated one there.)
int attachedThenUnload()
{
    // The records stay registered when the library goes, as in
    // isolatedThenUnload: not what the leak checker should report.
#ifdef __SANITIZE_ADDRESS__
    __lsan_disable();
#endif
    const std::uint32_t plain = attach(makeStream(true), probePlugin);
    const std::string sidechainPlugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/ProbeSideChain.vst3";
    const std::uint32_t fed = attach(makeStream(true), sidechainPlugin);
    const HSTREAM voice = makeStream(true);
    std::uint32_t instrument = 0;
    const std::string instrumentPlugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/EventRecorder.vst3";
    const HSTREAM stream = library.streamCreate(48000, 2, instrumentPlugin.c_str(), nullptr, 0, &instrument);
    if (plain == 0 || fed == 0 || library.setSidechain(fed, voice, 0) != 1 || stream == 0
        || !BASS_ChannelPlay(stream, FALSE))
        return 2;
#ifndef _WIN32
    TALVEN_ATTACH options{};
    options.size = sizeof options;
    options.path = probePlugin.c_str();
    options.flags = TALVEN_ATTACH_ISOLATED;
    if (library.setDspWith(makeStream(true), &options) == 0)
        return 2;
#endif
#ifdef __SANITIZE_ADDRESS__
    __lsan_enable();
#endif
    pass(std::chrono::milliseconds(100));
    closeLibrary();
    pass(std::chrono::milliseconds(300)); // blocks of every channel come
    if (libraryLoaded())
        return 3;
    BASS_CHANNELINFO info{};
    return !BASS_ChannelGetInfo(stream, &info) && BASS_ChannelGetInfo(voice, &info) ? 0 : 4;
}

int isolatedThenUnload()
{
    // The attachment stays registered when the library goes, as intended
    // here: the registry's bookkeeping of it goes unfreed with the library's
    // memory, which is not what the leak checker should report.
#ifdef __SANITIZE_ADDRESS__
    __lsan_disable();
#endif
    const std::uint32_t handle = attachIsolatedAndPull();
#ifdef __SANITIZE_ADDRESS__
    __lsan_enable();
#endif
    if (handle == 0)
        return 2;
    closeLibrary();
    // A plug-in's process ending now would wake a thread of the unloaded
    // library that still served it, into code that is gone.
    endChildProcesses();
    pass(std::chrono::milliseconds(500));
#ifdef _WIN32
    // There the library stays loaded once it has isolated a plug-in.
    return libraryLoaded() ? 0 : 3;
#else
    return libraryLoaded() ? 3 : 0;
#endif
}
#endif

#ifndef TALVEN_EXIT_PROBE_LINKED
// Windows: only the thread that started a thread timer can kill it, so a
// library whose timer still runs must stay mapped after the program's
// FreeLibrary (the timer would call into freed memory, which Windows and
// Wine swallow silently) and go once the timer stopped. Elsewhere the unload
// stops the timer's thread and the library goes at once.
bool stillMappedWhileItsTimerRuns()
{
#ifdef _WIN32
    return libraryLoaded();
#else
    return true;
#endif
}

// Passes time until the library is gone; false when it stays past the bound.
bool waitUntilUnloaded()
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (libraryLoaded()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pass(std::chrono::milliseconds(20));
    }
    return true;
}

// A plug-in attached and detached, an attach failed: the idle timer runs
// when the library is unloaded.
int unloadWithTimerRunning()
{
    const HSTREAM stream = makeStream(false);
    const std::uint32_t handle = attach(stream, probePlugin);
    if (handle == 0 || library.removeDsp(stream, handle) != 1 || !failAnAttach(stream))
        return 2;
    closeLibrary();
    if (!stillMappedWhileItsTimerRuns())
        return 8;
    if (!waitUntilUnloaded())
        return 3;
    pass(std::chrono::milliseconds(200));
    return 0;
}

// The idle timer starts on a thread that goes on dispatching its messages;
// the library is unloaded on another.
int unloadWithTimerOfAnotherThread()
{
    const HSTREAM stream = makeStream(false);
    std::atomic<int> attachResult{-1};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        attachResult = failAnAttach(stream) ? 0 : 2;
        while (!stop.load())
            pass(std::chrono::milliseconds(10));
    });
    while (attachResult.load() < 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    closeLibrary();
    const bool mapped = stillMappedWhileItsTimerRuns();
    const bool unloaded = waitUntilUnloaded();
    pass(std::chrono::milliseconds(200));
    stop = true;
    worker.join();
    if (attachResult.load() != 0)
        return attachResult.load();
    if (!mapped)
        return 8;
    return unloaded ? 0 : 3;
}
#endif

// Another thread ends the process while audio plays through an attached
// plug-in and this thread keeps asking the library.
[[noreturn]] int exitFromAnotherThread()
{
    std::uint32_t handle = 0;
    if (!attachToPlayingChannels(handle))
        std::_Exit(2);
    std::thread ender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::exit(7);
    });
    ender.detach();
    for (;;) {
        library.getBypass(handle);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

#if defined(_WIN32) && !defined(TALVEN_EXIT_PROBE_LINKED)
const std::string editorPlugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/EditorEffect.vst3";

bool editorPluginLoaded()
{
    return GetModuleHandleW(L"EditorEffect.vst3") != nullptr;
}

// The editor shows on a thread that ends without dispatching the close a
// detach on this thread handed to it. Nothing else calls the library; when
// the program unloads it, the plug-in must go too, editor code and all.
int editorThreadEndsThenUnload()
{
    const HSTREAM stream = makeStream(false);
    std::atomic<std::uint32_t> handle{0};
    std::atomic<int> stage{0};
    std::thread editorThread([&] {
        handle = library.setDsp(stream, editorPlugin.c_str(), 0, 0, 1, 20, 20, nullptr, "editor");
        stage = 1;
        while (stage.load() < 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (stage.load() < 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (handle.load() == 0 || library.removeDsp(stream, handle) != 1) {
        stage = 2;
        editorThread.join();
        return 2;
    }
    stage = 2;
    editorThread.join();
    if (!editorPluginLoaded())
        return 2; // the close was never handed over
    closeLibrary();
    if (!waitUntilUnloaded())
        return 3;
    return editorPluginLoaded() ? 9 : 0;
}
#endif

#if !defined(_WIN32) && !defined(TALVEN_EXIT_PROBE_LINKED)
// Whether the plug-in's module was left entered or with a view alive. Its
// module is never unmapped (it has unique symbols, which the loader keeps),
// so its own records still answer after the library let go of it.
bool editorPluginLeftSomething(const std::string& module)
{
    void* plugin = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!plugin)
        return false; // never loaded, or gone entirely
    TalvenTestEntryCounts counts{};
    if (auto read = reinterpret_cast<TalvenTestEntryCountsProc>(dlsym(plugin, TALVEN_TEST_ENTRY_COUNTS_SYMBOL)))
        read(&counts);
    auto liveViews = reinterpret_cast<TalvenEditorLiveViewsProc>(dlsym(plugin, TALVEN_EDITOR_LIVE_VIEWS));
    const bool left = counts.initCalls != counts.exitCalls || (liveViews && liveViews() != 0);
    dlclose(plugin);
    return left;
}

// Round after round: the library loaded, an editor shown, the plug-in
// detached and the library unloaded at once, while the editor's close is
// still on its way on the library's editor thread. Each unload must end and
// take the view, the plug-in and its module's entry along.
int editorDetachThenUnloadRounds()
{
    const std::string editorPlugin = std::string(TALVEN_TEST_PLUGIN_DIR) + "/EditorEffect.vst3";
    const std::string editorModule = editorPlugin + "/Contents/x86_64-linux/EditorEffect.so";
    const HSTREAM stream = makeStream(false);
    for (int round = 0; round < 100; ++round) {
        if (round > 0 && !openLibrary())
            return 4;
        const std::uint32_t handle = library.setDsp(stream, editorPlugin.c_str(), 0, 0, 1, 20, 20, nullptr, "editor");
        if (handle == 0 || library.removeDsp(stream, handle) != 1)
            return 2;
        closeLibrary();
        if (libraryLoaded())
            return 3;
        if (editorPluginLeftSomething(editorModule))
            return 9;
    }
    return 0;
}
#endif

#ifdef _WIN32
// ExitProcess with an instance attached and the idle timer running.
int exitProcessWhileAttached()
{
    if (attachedThenReturn() != 0)
        return 2;
    ExitProcess(0);
}
#endif

int run(const std::string& scenario)
{
    if (scenario == "failed-attach-return")
        return failedAttachThenReturn();
    if (scenario == "attached-return")
        return attachedThenReturn();
    if (scenario == "exit-from-thread")
        return exitFromAnotherThread();
    if (scenario == "isolated-return")
        return isolatedThenReturn();
#ifndef _WIN32
    if (scenario == "editor-detached-return")
        return editorDetachedThenReturn();
#endif
#ifndef TALVEN_EXIT_PROBE_LINKED
    if (scenario == "isolated-unload")
        return isolatedThenUnload();
    if (scenario == "attached-unload")
        return attachedThenUnload();
    if (scenario == "unload-with-timer")
        return unloadWithTimerRunning();
    if (scenario == "unload-with-timer-of-another-thread")
        return unloadWithTimerOfAnotherThread();
#endif
#if !defined(_WIN32) && !defined(TALVEN_EXIT_PROBE_LINKED)
    if (scenario == "editor-detach-unload-rounds")
        return editorDetachThenUnloadRounds();
#endif
#ifdef _WIN32
    if (scenario == "exit-process")
        return exitProcessWhileAttached();
#endif
#if defined(_WIN32) && !defined(TALVEN_EXIT_PROBE_LINKED)
    if (scenario == "editor-thread-ends-then-unload")
        return editorThreadEndsThenUnload();
#endif
    return 6;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 6;
    if (!openLibrary())
        return 4;
    if (!BASS_Init(0, 48000, 0, nullptr, nullptr))
        return 5;
    // Nothing is freed or detached: the process ends with it all in place.
    return run(argv[1]);
}
