// The recording gain, strict about its processing state as VST 3 allows: it
// refuses setProcessing while inactive, and any switch can be made to fail
// on demand (SwitchControl.h). With TALVEN_PROBE_SHARED set the failure
// asked for lives in the file <folder>/Switching.fail, so a test asks it of
// the plug-in running in talven-host.
#include "EntryPoints.h"
#include "RecordingClasses.h"
#include "SharedFile.h"
#include "SwitchControl.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

namespace {

using namespace Steinberg;
using namespace talven::testplugin;

struct Failure {
    SharedSpinLock lock;
    char call[64] = {}; // empty: none asked for
    tresult result = kResultOk;
};

Failure& failure()
{
    static const SharedFile file("Switching.fail", sizeof(SharedRecord<Failure>));
    static Failure local;
    static Failure* const shared = file.data() ? SharedRecord<Failure>::adopt(file.data()) : nullptr;
    return shared ? *shared : local;
}

// The result to answer instead of running call, if one was asked for.
bool takeFailure(const std::string& call, tresult& result)
{
    Failure& next = failure();
    std::lock_guard<SharedSpinLock> guard(next.lock);
    if (next.call[0] == '\0' || call != next.call)
        return false;
    next.call[0] = '\0';
    result = next.result;
    return true;
}

class SwitchingProcessor : public RecordingProcessor {
public:
    SwitchingProcessor() : RecordingProcessor(ProcessorOptions{recorderControllerUid(), false}) {}

    tresult PLUGIN_API setActive(TBool state) override
    {
        tresult result = kResultOk;
        if (takeFailure(std::string("setActive ") + (state ? "1" : "0"), result)) {
            recordCall(std::string("Component::setActive ") + (state ? "1" : "0") + " refused");
            return result;
        }
        result = RecordingProcessor::setActive(state);
        if (result == kResultOk)
            active_ = state != 0;
        return result;
    }

    tresult PLUGIN_API setProcessing(TBool state) override
    {
        tresult result = kResultOk;
        if (takeFailure(std::string("setProcessing ") + (state ? "1" : "0"), result) || !active_) {
            recordCall(std::string("Processor::setProcessing ") + (state ? "1" : "0") + " refused");
            return active_ ? result : kResultFalse;
        }
        return RecordingProcessor::setProcessing(state);
    }

private:
    std::atomic<bool> active_{false};
};

const FUID& switchingUid()
{
    static const FUID uid(0x7A1E0002, 0x5E7A4C11, 0x9D3B2F60, 0x0000A0B1);
    return uid;
}

FUnknown* createSwitching()
{
    recordCall("Factory::create Processor");
    return static_cast<Vst::IAudioProcessor*>(new SwitchingProcessor);
}

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        {switchingUid(), kVstAudioEffectClass, "Talven Switching", Vst::ComponentFlags::kDistributable, "Fx",
         createSwitching},
        recorderControllerClass(),
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

} // namespace

extern "C" SMTG_EXPORT_SYMBOL void TalvenTestFailNext(const char* call, int result)
{
    Failure& next = failure();
    std::lock_guard<SharedSpinLock> guard(next.lock);
    std::strncpy(next.call, call ? call : "", sizeof next.call - 1);
    next.call[sizeof next.call - 1] = '\0';
    next.result = result;
}

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
