#pragma once

#include "public.sdk/source/vst/vstcomponent.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace talven::testplugin {

// A stereo-in, stereo-out processor that copies its input to its output: the
// smallest valid audio effect, and a base for plug-ins that vary one thing.
class PassThroughProcessor : public Steinberg::Vst::Component, public Steinberg::Vst::IAudioProcessor {
public:
    explicit PassThroughProcessor(const Steinberg::FUID& controllerClass);

    static Steinberg::FUnknown* create(const Steinberg::FUID& controllerClass);

    // ---- IComponent
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;

    // ---- IAudioProcessor
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                     Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API getBusArrangement(Steinberg::Vst::BusDirection dir, Steinberg::int32 index,
                                                    Steinberg::Vst::SpeakerArrangement& arr) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::uint32 PLUGIN_API getLatencySamples() override { return 0; }
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
    Steinberg::uint32 PLUGIN_API getTailSamples() override { return 0; }

    OBJ_METHODS(PassThroughProcessor, Steinberg::Vst::Component)
    DEFINE_INTERFACES
        DEF_INTERFACE(Steinberg::Vst::IAudioProcessor)
    END_DEFINE_INTERFACES(Steinberg::Vst::Component)
    REFCOUNT_METHODS(Steinberg::Vst::Component)
};

// The edit controller of the pass-through effect: no parameters.
class PassThroughController : public Steinberg::Vst::EditController {
public:
    static Steinberg::FUnknown* create();
};

} // namespace talven::testplugin

#include "TestPluginFactory.h"

namespace talven::testplugin {

// The pass-through effect's classes in factory order: the processor
// ("Audio Module Class", sub-category "Fx") and its controller.
const TestFactoryDescription& passThroughDescription();

} // namespace talven::testplugin
