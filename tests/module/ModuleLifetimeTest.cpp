#include "ModuleTestSupport.h"

#include "sdk/Module.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using VST3::Hosting::Module;

namespace talven::test {
namespace {

Module::Ptr quietCreate(const std::string& path)
{
    ConsoleCapture console;
    std::string error;
    Module::Ptr module = Module::create(path, error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

TEST(ModuleLifetime, InitRunsOnLoadAndExitOnceWhenTheLastHolderLetsGo)
{
    PinnedPlugin pin("MinimalEffect");
    Module::Ptr module = quietCreate(packagePath("MinimalEffect"));
    EXPECT_STREQ(pin.counts().order, "IF");
#if !defined(_WIN32)
    EXPECT_EQ(pin.counts().moduleEntryArgument, pin.handle());
#endif
    Module::Ptr secondHolder = module;
    module.reset();
    EXPECT_STREQ(pin.counts().order, "IF");
    secondHolder.reset();
    EXPECT_STREQ(pin.counts().order, "IFX");
}

TEST(ModuleLifetime, TwoModulesOfOneLibraryEachRunInitAndExitOnce)
{
    PinnedPlugin pin("MinimalEffect");
    Module::Ptr first = quietCreate(packagePath("MinimalEffect"));
    Module::Ptr second = quietCreate(innerLibraryPath("MinimalEffect"));
    TalvenTestEntryCounts both = pin.counts();
    EXPECT_EQ(both.initCalls, 2);
    EXPECT_EQ(both.exitCalls, 0);
    first.reset();
    EXPECT_EQ(pin.counts().exitCalls, 1);
    second.reset();
    EXPECT_EQ(pin.counts().exitCalls, 2);
    EXPECT_EQ(pin.counts().initCalls, 2);
}

TEST(ModuleLifetime, LibraryIsUnloadedOnlyWhenTheLastModuleGoes)
{
    const std::string library = innerLibraryPath("MinimalEffect");
    ASSERT_FALSE(isLibraryLoaded(library));
    Module::Ptr first = quietCreate(packagePath("MinimalEffect"));
    Module::Ptr second = quietCreate(packagePath("MinimalEffect"));
    EXPECT_TRUE(isLibraryLoaded(library));
    first.reset();
    EXPECT_TRUE(isLibraryLoaded(library));
    second.reset();
    EXPECT_FALSE(isLibraryLoaded(library));
}

TEST(ModuleLifetime, PluginWithoutInitAndExitLoadsAndUnloads)
{
    const std::string library = innerLibraryPath("NoEntryPoints");
    {
        PinnedPlugin pin("NoEntryPoints");
        Module::Ptr module = quietCreate(packagePath("NoEntryPoints"));
        EXPECT_TRUE(module->getFactory());
        module.reset();
        EXPECT_STREQ(pin.counts().order, "F");
    }
    EXPECT_FALSE(isLibraryLoaded(library));
}

TEST(ModuleLifetime, ModulesMadeAndDroppedOnSeveralThreadsBalanceInitAndExit)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 25;
    PinnedPlugin pin("MinimalEffect");
    {
        // Every thread's console lines go to the same captured output.
        ConsoleCapture console;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([] {
                for (int round = 0; round < kRounds; ++round) {
                    std::string error;
                    Module::Ptr module = Module::create(packagePath("MinimalEffect"), error);
                    EXPECT_NE(module, nullptr) << error;
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        console.lines();
    }
    TalvenTestEntryCounts counts = pin.counts();
    EXPECT_EQ(counts.initCalls, kThreads * kRounds);
    EXPECT_EQ(counts.exitCalls, kThreads * kRounds);
    EXPECT_EQ(counts.factoryCalls, kThreads * kRounds);
}

} // namespace
} // namespace talven::test
