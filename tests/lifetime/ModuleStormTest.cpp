// Several threads attaching and detaching plug-ins of the same libraries on
// their own playing channels, through the shared library as a program does:
// one module per library per process, its entry, factory, set-up and exit
// taking turns.
#include "LifetimeTestSupport.h"

#include "EntryLog.h"
#include "GlobalStateReport.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace talven::test {
namespace {

constexpr int kThreads = 4;

// A plug-in library opened beside the library's own loads, for reading what
// the plug-in recorded; the system counts the loads, so the modules under
// test still come and go.
class PluginRecords {
public:
    explicit PluginRecords(const std::string& name)
    {
#ifdef _WIN32
        std::string file = testPluginPath(name) + "/Contents/x86_64-win/" + name + ".vst3";
        for (char& c : file)
            c = c == '/' ? '\\' : c;
        library_ = LoadLibraryA(file.c_str());
#else
        const std::string file = testPluginPath(name) + "/Contents/x86_64-linux/" + name + ".so";
        library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
        EXPECT_NE(library_, nullptr) << file;
    }
    ~PluginRecords()
    {
#ifdef _WIN32
        if (library_)
            FreeLibrary(static_cast<HMODULE>(library_));
#else
        if (library_)
            dlclose(library_);
#endif
    }
    PluginRecords(const PluginRecords&) = delete;
    PluginRecords& operator=(const PluginRecords&) = delete;

    TalvenTestEntryCounts entryCounts() const
    {
        TalvenTestEntryCounts counts{};
        if (auto read = reinterpret_cast<TalvenTestEntryCountsProc>(symbol(TALVEN_TEST_ENTRY_COUNTS_SYMBOL)))
            read(&counts);
        return counts;
    }
    TalvenTestGlobalState globalState() const
    {
        TalvenTestGlobalState state{};
        if (auto read = reinterpret_cast<TalvenTestGlobalStateProc>(symbol(TALVEN_TEST_GLOBAL_STATE_SYMBOL)))
            read(&state);
        return state;
    }

private:
    void* symbol(const char* name) const
    {
#ifdef _WIN32
        return library_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library_), name)) : nullptr;
#else
        return library_ ? dlsym(library_, name) : nullptr;
#endif
    }

    void* library_ = nullptr;
};

struct StormFigures {
    int cycles = 0;
    int failedAttaches = 0;
    double seconds = 0;
};

// kThreads threads, each with a playing channel of its own, attach and
// detach the plug-ins in turn (each thread starting at another one), every
// eighth instance staying for a few blocks of audio.
StormFigures storm(PlayingEngine& engine, const std::vector<std::string>& plugins, int cyclesPerThread)
{
    std::vector<HSTREAM> streams;
    for (int t = 0; t < kThreads; ++t) {
        streams.push_back(engine.playingStream());
        EXPECT_NE(streams.back(), 0u);
    }
    std::atomic<int> cycles{0};
    std::atomic<int> failed{0};
    const auto start = std::chrono::steady_clock::now();
    {
        // Every attach writes the loader's lines; thousands of them are noise.
        testing::internal::CaptureStdout();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < cyclesPerThread; ++i) {
                    const std::string& path = plugins[static_cast<size_t>(t + i) % plugins.size()];
                    const std::uint32_t handle =
                        TALVEN_ChannelSetDSP(streams[static_cast<size_t>(t)], path.c_str(), 0, 0, 0, 0, 0, nullptr,
                                             "storm");
                    if (handle == 0) {
                        ++failed;
                        continue;
                    }
                    if (i % 8 == 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(25));
                    TALVEN_ChannelRemoveDSP(streams[static_cast<size_t>(t)], handle);
                    ++cycles;
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        testing::internal::GetCapturedStdout();
    }
    StormFigures figures;
    figures.cycles = cycles.load();
    figures.failedAttaches = failed.load();
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (HSTREAM stream : streams)
        BASS_StreamFree(stream);
    std::cout << "storm: " << figures.cycles << " attach/detach cycles on " << kThreads << " threads in "
              << figures.seconds << " s" << std::endl;
    return figures;
}

TEST(ModuleStorm, InstancesOfOneLibraryOnSeveralChannelsShareOneEntryAndOneExit)
{
    PlayingEngine engine;
    ASSERT_TRUE(engine.ready());
    PluginRecords records("GlobalState");
    const std::string path = testPluginPath("GlobalState");
    std::vector<std::uint32_t> handles;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 3; ++i)
        handles.push_back(TALVEN_ChannelSetDSP(engine.playingStream(), path.c_str(), 0, 0, 0, 0, 0, nullptr, "x"));
    testing::internal::GetCapturedStdout();
    for (std::uint32_t handle : handles)
        ASSERT_NE(handle, 0u);
    EXPECT_EQ(records.entryCounts().initCalls, 1);
    EXPECT_EQ(records.entryCounts().factoryCalls, 1);
    EXPECT_EQ(records.globalState().liveObjects, 6); // a component and a controller each

    TALVEN_ChannelRemoveDSP(0, handles[0]);
    TALVEN_ChannelRemoveDSP(0, handles[1]);
    EXPECT_EQ(records.entryCounts().exitCalls, 0);
    TALVEN_ChannelRemoveDSP(0, handles[2]);
    EXPECT_STREQ(records.entryCounts().order, "IFX");
    EXPECT_EQ(records.globalState().exitsWithLiveObjects, 0);
}

TEST(ModuleStorm, AttachAndDetachOnFourThreadsDriveAnUnlockedModuleOneCallAtATime)
{
    PlayingEngine engine;
    ASSERT_TRUE(engine.ready());
    PluginRecords records("GlobalState");
    const int perThread = stormCycles(600);
    const StormFigures figures = storm(engine, {testPluginPath("GlobalState")}, perThread);
    EXPECT_EQ(figures.failedAttaches, 0);
    EXPECT_EQ(figures.cycles, kThreads * perThread);

    const TalvenTestGlobalState state = records.globalState();
    EXPECT_EQ(state.overlaps, 0);
    EXPECT_EQ(state.unentered, 0);
    EXPECT_EQ(state.exitsWithLiveObjects, 0);
    EXPECT_EQ(state.liveObjects, 0);
    EXPECT_GE(state.entries, 1);
    EXPECT_EQ(state.exits, state.entries);
}

TEST(ModuleStorm, AttachAndDetachOnFourThreadsWithSeveralLibrariesWhileAudioPlays)
{
    PlayingEngine engine;
    ASSERT_TRUE(engine.ready());
    PluginRecords records("GlobalState");
    const int perThread = stormCycles(600);
    const StormFigures figures = storm(
        engine, {testPluginPath("GlobalState"), testPluginPath("ProbeStereo"), testPluginPath("ProbeMono")},
        perThread);
    EXPECT_EQ(figures.failedAttaches, 0);
    EXPECT_EQ(figures.cycles, kThreads * perThread);
    const TalvenTestGlobalState state = records.globalState();
    EXPECT_EQ(state.overlaps, 0);
    EXPECT_EQ(state.unentered, 0);
    EXPECT_EQ(state.exits, state.entries);
}

#ifndef _WIN32
// DPF plug-ins keep their globals exactly as GlobalState does; without
// serialised, once-per-process loading this crashed within seconds.
TEST(ModuleStorm, AttachAndDetachOnFourThreadsWithZamPluginsWhileAudioPlays)
{
    PlayingEngine engine;
    ASSERT_TRUE(engine.ready());
    const int perThread = stormCycles(750);
    const StormFigures figures =
        storm(engine, {zamPluginPath("ZamEQ2"), zamPluginPath("ZamDelay"), zamPluginPath("ZamComp")}, perThread);
    EXPECT_EQ(figures.failedAttaches, 0);
    EXPECT_EQ(figures.cycles, kThreads * perThread);
}
#endif

} // namespace
} // namespace talven::test
