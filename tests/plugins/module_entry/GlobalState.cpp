// A plug-in whose module keeps globals the way DPF plug-ins (zam-plugins
// among them) do: the entry point makes them, the factory and every
// instance's initialize and terminate read them, the exit point frees them,
// and nothing locks them. Where a host drives such a module unserialised or
// outside its entry and exit, this one notes it (GlobalStateReport.h)
// rather than crashing at random; where it is called (a block, a
// teardown, its exit point) after the exit destroyed the module's static
// objects, it ends the process.
#include "EntryPoints.h"
#include "GlobalStateReport.h"
#include "PassThroughEffect.h"

#include "pluginterfaces/base/fplatform.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace Steinberg;
using namespace talven::testplugin;

// What the entry point makes and the exit point frees. Read without a lock,
// like the globals of the plug-ins this one stands for.
struct Globals {
    std::string vendor = "Talven Tests";
};
std::unique_ptr<Globals> globals;

std::atomic<int> entries{0};
std::atomic<int> exits{0};
std::atomic<int> overlaps{0};
std::atomic<int> unentered{0};
std::atomic<int> exitsWithLiveObjects{0};
std::atomic<int> liveObjects{0};
std::atomic<long long> guardedCalls{0};
std::atomic<int> threadsInside{0};
thread_local int nesting = 0;

// One call that a host must not make while another thread is inside one.
// Lingers a little so that a host that lets two overlap is caught at it.
class GuardedCall {
public:
    GuardedCall()
    {
        ++guardedCalls;
        if (nesting++ == 0 && threadsInside.fetch_add(1) != 0)
            ++overlaps;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    ~GuardedCall()
    {
        if (--nesting == 0)
            --threadsInside;
    }
    GuardedCall(const GuardedCall&) = delete;
    GuardedCall& operator=(const GuardedCall&) = delete;
};

// The module's static objects go when the process ends, unless the host
// ran the exit point first. This one goes with them and lingers, so that a
// host whose audio thread still calls process then (into state that is
// gone) is caught at it: the call ends the process with an exit code of its
// own, which an exit test reads.
std::atomic<bool> staticsGone{false};
struct StaticsWatch {
    ~StaticsWatch()
    {
        if (!globals)
            return; // the host ran the exit point: no block follows
        staticsGone = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
} staticsWatch;

// A call after the static objects went (a block, a teardown, the exit point
// run by a host's own finalizer) runs on state that is gone.
void endIfStaticsGone()
{
    if (staticsGone.load())
        std::_Exit(TALVEN_TEST_PROCESS_AFTER_STATICS_EXIT_CODE);
}

// Reads the globals as a factory call or an instance's set-up does.
void useGlobals()
{
    if (!globals || globals->vendor.empty())
        ++unentered;
}

class GuardedProcessor : public PassThroughProcessor {
public:
    explicit GuardedProcessor(const FUID& controllerClass) : PassThroughProcessor(controllerClass) { ++liveObjects; }
    ~GuardedProcessor() override { --liveObjects; }

    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        GuardedCall call;
        useGlobals();
        return PassThroughProcessor::initialize(context);
    }
    tresult PLUGIN_API terminate() override
    {
        endIfStaticsGone();
        GuardedCall call;
        useGlobals();
        return PassThroughProcessor::terminate();
    }
    tresult PLUGIN_API process(Vst::ProcessData& data) override
    {
        endIfStaticsGone();
        return PassThroughProcessor::process(data);
    }
};

class GuardedController : public PassThroughController {
public:
    GuardedController() { ++liveObjects; }
    ~GuardedController() override { --liveObjects; }

    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        GuardedCall call;
        useGlobals();
        return PassThroughController::initialize(context);
    }
    tresult PLUGIN_API terminate() override
    {
        GuardedCall call;
        useGlobals();
        return PassThroughController::terminate();
    }
};

const FUID& controllerUid()
{
    static const FUID uid(0x7A1E0003, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);
    return uid;
}

const TestFactoryDescription& description()
{
    static const FUID processorUid(0x7A1E0003, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
    static const TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, "Talven Global State", Vst::ComponentFlags::kDistributable, "Fx",
         [] { return static_cast<FUnknown*>(static_cast<Vst::IAudioProcessor*>(new GuardedProcessor(controllerUid()))); }},
        {controllerUid(), kVstComponentControllerClass, "Talven Global State Controller", 0, "",
         [] { return static_cast<FUnknown*>(static_cast<Vst::IEditController*>(new GuardedController)); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

// The test factory behind guarded calls that read the globals.
class GuardedFactory : public IPluginFactory3 {
public:
    GuardedFactory() : inner_(owned(makeFactory(description())))
    {
        inner_->queryInterface(IPluginFactory3::iid, reinterpret_cast<void**>(&inner3_));
    }
    virtual ~GuardedFactory()
    {
        if (inner3_)
            inner3_->release();
    }

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
    {
        if (!obj)
            return kInvalidArgument;
        *obj = nullptr;
        if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, IPluginFactory::iid)
            || FUnknownPrivate::iidEqual(iid, IPluginFactory2::iid)
            || FUnknownPrivate::iidEqual(iid, IPluginFactory3::iid)) {
            addRef();
            *obj = static_cast<IPluginFactory3*>(this);
            return kResultOk;
        }
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++references_; }
    uint32 PLUGIN_API release() override
    {
        uint32 left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override
    {
        GuardedCall call;
        useGlobals();
        return inner3_->getFactoryInfo(info);
    }
    int32 PLUGIN_API countClasses() override
    {
        GuardedCall call;
        useGlobals();
        return inner3_->countClasses();
    }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override
    {
        GuardedCall call;
        useGlobals();
        return inner3_->getClassInfo(index, info);
    }
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override
    {
        GuardedCall call;
        useGlobals();
        return inner3_->createInstance(cid, iid, obj);
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override
    {
        GuardedCall call;
        useGlobals();
        return inner3_->getClassInfo2(index, info);
    }
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override
    {
        GuardedCall call;
        useGlobals();
        return inner3_->getClassInfoUnicode(index, info);
    }
    tresult PLUGIN_API setHostContext(FUnknown* context) override
    {
        GuardedCall call;
        useGlobals();
        return inner3_->setHostContext(context);
    }

private:
    IPtr<IPluginFactory> inner_;
    IPluginFactory3* inner3_ = nullptr;
    std::atomic<uint32> references_{1};
};

bool enterModule()
{
    GuardedCall call;
    if (globals)
        ++unentered; // entered twice
    globals = std::make_unique<Globals>();
    ++entries;
    return true;
}

bool exitModule()
{
    endIfStaticsGone();
    GuardedCall call;
    if (!globals)
        ++unentered; // exit without entry
    if (liveObjects.load() > 0)
        ++exitsWithLiveObjects;
    globals.reset();
    ++exits;
    return true;
}

} // namespace

extern "C" SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory()
{
    talven::testplugin::noteEntry('F');
    GuardedCall call;
    useGlobals();
    return new GuardedFactory;
}

#if defined(_WIN32)
extern "C" SMTG_EXPORT_SYMBOL bool InitDll()
{
    talven::testplugin::noteEntry('I');
    return enterModule();
}
extern "C" SMTG_EXPORT_SYMBOL bool ExitDll()
{
    talven::testplugin::noteEntry('X');
    return exitModule();
}
#else
extern "C" SMTG_EXPORT_SYMBOL bool ModuleEntry(void* libraryHandle)
{
    talven::testplugin::noteModuleEntry(libraryHandle);
    return enterModule();
}
extern "C" SMTG_EXPORT_SYMBOL bool ModuleExit()
{
    talven::testplugin::noteEntry('X');
    return exitModule();
}
#endif

extern "C" SMTG_EXPORT_SYMBOL void TalvenTestReadGlobalState(TalvenTestGlobalState* out)
{
    if (!out)
        return;
    out->entries = entries.load();
    out->exits = exits.load();
    out->overlaps = overlaps.load();
    out->unentered = unentered.load();
    out->exitsWithLiveObjects = exitsWithLiveObjects.load();
    out->liveObjects = liveObjects.load();
    out->guardedCalls = guardedCalls.load();
}
