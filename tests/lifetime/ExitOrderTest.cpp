// A program using the library ends in every order a process can end in:
// returning from main or calling exit() on another thread, with the library
// loaded at run time or linked at build time, unloaded or not, with the idle
// timer running, instances attached and audio still playing (through one
// plug-in that must not be called once the exit has destroyed its module's
// static objects, as the mixing thread would). Each runs in a
// child process (ExitProbe.cpp) with a time limit; a hang, a crash or a
// sanitizer report (under ASan and TSan the child is instrumented too and
// ends with the sanitizer's exit code) fails the test.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace talven::test {
namespace {

// Generous: a run takes well under a second natively, and the Windows
// scenarios that wait for the idle timer's countdown about ten seconds.
constexpr std::chrono::seconds kLimit{120};

struct Ending {
    const char* program;
    const char* scenario;
    int exitCode;
};

void expectEnds(const Ending& ending)
{
    const ChildOutcome outcome = runBesideThisProgram(ending.program, ending.scenario, kLimit);
    EXPECT_TRUE(outcome.finished) << ending.program << " " << ending.scenario << " did not end within "
                                  << kLimit.count() << " s";
    EXPECT_EQ(outcome.exitCode, ending.exitCode) << ending.program << " " << ending.scenario;
}

TEST(ExitOrder, ARunTimeLoadedLibraryLetsTheProcessEndAfterAFailedAttach)
{
    expectEnds({"talven_exit_probe", "failed-attach-return", 0});
}

TEST(ExitOrder, ARunTimeLoadedLibraryLetsTheProcessEndWithAPluginAttachedWhileAudioPlays)
{
    expectEnds({"talven_exit_probe", "attached-return", 0});
}

TEST(ExitOrder, ARunTimeLoadedLibraryIsUnloadedSafelyWhileItsIdleTimerRuns)
{
    expectEnds({"talven_exit_probe", "unload-with-timer", 0});
}

TEST(ExitOrder, ARunTimeLoadedLibraryIsUnloadedSafelyWhileAnotherThreadsIdleTimerRuns)
{
    expectEnds({"talven_exit_probe", "unload-with-timer-of-another-thread", 0});
}

TEST(ExitOrder, ExitOnAnotherThreadWhileAudioPlaysThroughARunTimeLoadedLibraryEndsTheProcess)
{
    expectEnds({"talven_exit_probe", "exit-from-thread", 7});
}

TEST(ExitOrder, AnIsolatedPluginNeitherKeepsTheProcessFromEndingNorOutlivesAnUnloadedLibrary)
{
    for (const Ending& ending : {Ending{"talven_exit_probe", "isolated-return", 0},
                                 Ending{"talven_exit_probe_linked", "isolated-return", 0},
                                 Ending{"talven_exit_probe", "isolated-unload", 0}}) {
        SCOPED_TRACE(std::string(ending.program) + " " + ending.scenario);
        expectEnds(ending);
    }
}

TEST(ExitOrder, UnloadingTheLibraryTakesEveryCallbackOfItsOffChannelsThatGoOnPlaying)
{
    expectEnds({"talven_exit_probe", "attached-unload", 0});
}

TEST(ExitOrder, ALinkedLibraryLetsTheProcessEndAfterAFailedAttach)
{
    expectEnds({"talven_exit_probe_linked", "failed-attach-return", 0});
}

TEST(ExitOrder, ALinkedLibraryLetsTheProcessEndWithAPluginAttachedWhileAudioPlays)
{
    expectEnds({"talven_exit_probe_linked", "attached-return", 0});
}

TEST(ExitOrder, ExitOnAnotherThreadWhileAudioPlaysThroughALinkedLibraryEndsTheProcess)
{
    expectEnds({"talven_exit_probe_linked", "exit-from-thread", 7});
}

#ifdef _WIN32
TEST(ExitOrder, ExitProcessWithAPluginAttachedAndTheIdleTimerRunningEndsTheProcess)
{
    expectEnds({"talven_exit_probe", "exit-process", 0});
    expectEnds({"talven_exit_probe_linked", "exit-process", 0});
}

// A detach handed an editor's close to the editor's thread, which ended
// before running it: unloading the library releases that plug-in too.
TEST(ExitOrder, UnloadingTheLibraryReleasesAPluginWhoseEditorsThreadEndedBeforeClosingIt)
{
    expectEnds({"talven_exit_probe", "editor-thread-ends-then-unload", 0});
}
#endif

#ifndef _WIN32
// An editor's close still on its way on the editor thread when the library
// is unloaded: the unload ends (the editor thread, which it waits for under
// the loader lock, never needs that lock) and releases view, plug-in and
// module, a hundred times over.
TEST(ExitOrder, UnloadingTheLibraryRightAfterDetachingAnInstanceWithAnEditorEndsEveryTime)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
    expectEnds({"talven_exit_probe", "editor-detach-unload-rounds", 0});
}

// zam-plugins' ZamEQ2 (DPF) detached with its editor open right before the
// program returns: its module's exit point, left to the exit, runs before the
// module's static objects go (DPF's then frees what they freed: a crash).
TEST(ExitOrder, APluginDetachedWithItsEditorOpenRightBeforeTheEndExitsItsModuleBeforeItsStaticObjectsGo)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display";
#ifdef __SANITIZE_ADDRESS__
    // The GL driver the editor draws with leaves what it allocated
    // unreachable once the plug-in is unloaded at the end: the driver's, and
    // not what this checks.
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string saved = options ? options : "";
    setenv("ASAN_OPTIONS", (saved + ":detect_leaks=0").c_str(), 1);
#endif
    for (const char* program : {"talven_exit_probe", "talven_exit_probe_linked"}) {
        SCOPED_TRACE(program);
        expectEnds({program, "editor-detached-return", 0});
    }
#ifdef __SANITIZE_ADDRESS__
    setenv("ASAN_OPTIONS", saved.c_str(), 1);
#endif
}
#endif

} // namespace
} // namespace talven::test
