// The recording gain, strict about its processing state as VST 3 allows: it
// refuses setProcessing while inactive, and any switch can be made to fail
// on demand (SwitchControl.h).
#include "EntryPoints.h"
#include "RecordingClasses.h"
#include "SwitchControl.h"

#include <atomic>
#include <mutex>
#include <string>

namespace {

using namespace Steinberg;
using namespace talven::testplugin;

std::mutex failureMutex;
std::string failingCall;   // guarded by failureMutex
tresult failingResult = kResultOk;

// The result to answer instead of running call, if one was asked for.
bool takeFailure(const std::string& call, tresult& result)
{
    std::lock_guard<std::mutex> guard(failureMutex);
    if (failingCall != call)
        return false;
    failingCall.clear();
    result = failingResult;
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
    std::lock_guard<std::mutex> guard(failureMutex);
    failingCall = call ? call : "";
    failingResult = result;
}

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
