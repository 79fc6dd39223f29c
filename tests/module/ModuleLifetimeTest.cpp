#include "ModuleTestSupport.h"

#include "GlobalStateReport.h"

#include "platform/DynamicLibrary.h"
#include "sdk/Module.h"
#include "sdk/PlugProvider.h"
#include "sdk/PluginContextFactory.h"

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

TEST(ModuleLifetime, OneLibraryByPackageAndByFileIsOneModuleEnteredAndExitedOnce)
{
    PinnedPlugin pin("MinimalEffect");
    Module::Ptr first = quietCreate(packagePath("MinimalEffect"));
    Module::Ptr second = quietCreate(innerLibraryPath("MinimalEffect"));
    EXPECT_EQ(first.get(), second.get());
    EXPECT_STREQ(pin.counts().order, "IF");
    first.reset();
    EXPECT_EQ(pin.counts().exitCalls, 0);
    second.reset();
    EXPECT_STREQ(pin.counts().order, "IFX");
}

TEST(ModuleLifetime, ALibraryCreatedAgainAfterItsLastUserLeftIsEnteredAgain)
{
    PinnedPlugin pin("MinimalEffect");
    Module::Ptr module = quietCreate(packagePath("MinimalEffect"));
    module.reset();
    module = quietCreate(packagePath("MinimalEffect"));
    EXPECT_STREQ(pin.counts().order, "IFXIF");
    module.reset();
    EXPECT_STREQ(pin.counts().order, "IFXIFX");
}

TEST(ModuleLifetime, ASharedModuleIsAnsweredWithTheSameConsoleLines)
{
    Module::Ptr first = quietCreate(packagePath("MinimalEffect"));
    ConsoleCapture console;
    std::string error = "untouched";
    Module::Ptr second = Module::create(packagePath("MinimalEffect"), error);
    EXPECT_EQ(console.lines(), "create: start\ncreate: declaration\nload: start\nload: log(1)\n"
                               "loadAsPackage: start\ncreate: load module\n");
    EXPECT_EQ(second.get(), first.get());
    EXPECT_EQ(error, "untouched");
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

TalvenTestGlobalState globalState(const PinnedPlugin& pin)
{
    TalvenTestGlobalState state{};
    auto read = reinterpret_cast<TalvenTestGlobalStateProc>(librarySymbol(pin.handle(), TALVEN_TEST_GLOBAL_STATE_SYMBOL));
    EXPECT_NE(read, nullptr);
    if (read)
        read(&state);
    return state;
}

// Each thread loads the module, lists its classes, sets a plug-in up and
// lets everything go again, so that one thread's exit of the library often
// meets another thread's load of it.
TEST(ModuleLifetime, ModulesMadeAndDroppedOnSeveralThreadsTakeTurnsAndEnterTheLibraryOnceAtATime)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 100;
    PinnedPlugin pin("GlobalState");
    {
        // Every thread's console lines go to the same captured output.
        ConsoleCapture console;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([] {
                for (int round = 0; round < kRounds; ++round) {
                    std::string error;
                    Module::Ptr module = Module::create(packagePath("GlobalState"), error);
                    ASSERT_NE(module, nullptr) << error;
                    const VST3::Hosting::ClassInfos classes = module->getFactory().classInfos();
                    ASSERT_FALSE(classes.empty());
                    auto provider = Steinberg::owned(
                        new Steinberg::Vst::PlugProvider(module->getFactory(), classes[0], true));
                    EXPECT_TRUE(provider->initialize());
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        console.lines();
    }
    const TalvenTestEntryCounts counts = pin.counts();
    EXPECT_GE(counts.initCalls, 1);
    EXPECT_LE(counts.initCalls, kThreads * kRounds);
    EXPECT_EQ(counts.exitCalls, counts.initCalls);
    EXPECT_EQ(counts.factoryCalls, counts.initCalls);
    const TalvenTestGlobalState state = globalState(pin);
    EXPECT_GT(state.guardedCalls, kThreads * kRounds);
    EXPECT_EQ(state.overlaps, 0);
    EXPECT_EQ(state.unentered, 0);
    EXPECT_EQ(state.exitsWithLiveObjects, 0);
    EXPECT_EQ(state.liveObjects, 0);
}

// A host object of the test's own, standing for the library's.
struct TestContext : Steinberg::FUnknown {
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override
    {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
};

TEST(ModuleLifetime, AFactoryOfVersionThreeIsGivenTheGlobalContextOncePerLoad)
{
    TestContext context;
    Steinberg::PluginContextFactory& global = Steinberg::PluginContextFactory::instance();
    Steinberg::FUnknown* previous = global.getPluginContext();
    global.setPluginContext(&context);
    PinnedPlugin pin("MinimalEffect");
    {
        Module::Ptr first = quietCreate(packagePath("MinimalEffect"));
        Module::Ptr second = quietCreate(packagePath("MinimalEffect"));
        EXPECT_EQ(pin.counts().hostContextCalls, 1);
        EXPECT_EQ(pin.counts().hostContext, static_cast<void*>(&context));
    }
    Module::Ptr reloaded = quietCreate(packagePath("MinimalEffect"));
    EXPECT_EQ(pin.counts().hostContextCalls, 2);
    global.setPluginContext(previous);
}

} // namespace
} // namespace talven::test
