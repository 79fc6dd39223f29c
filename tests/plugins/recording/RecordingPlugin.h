// Plug-in classes that record every call the host makes on them (CallLog.h):
// a stereo gain processor and its controller, and a component that is its
// own controller. Class tables of the recording test plug-ins are built
// from them (RecordingClasses.h).
#pragma once

#include "PassThroughEffect.h"

#include "public.sdk/source/vst/vsteditcontroller.h"

#include <atomic>
#include <string>

namespace talven::testplugin {

// Parameter ids of the recording controller.
constexpr Steinberg::Vst::ParamID kGainId = 0;
constexpr Steinberg::Vst::ParamID kMixId = 1;
// The processor multiplies every sample by 2 * gain (normalized gain).
constexpr double kDefaultGain = 0.25;

// The buses a recording processor declares.
enum class RecordedBuses {
    stereo,     // stereo main input and output; takes only stereo
    everyKind,  // those, a stereo side-chain input and an event input; its
                // main buses take any layout, the side-chain only stereo
    emptyOutput, // a stereo input and an output of no channels; takes nothing else
    none,       // no bus at all
};

struct ProcessorOptions {
    Steinberg::FUID controllerClass; // invalid: names no controller
    bool failInitialize = false;
    RecordedBuses buses = RecordedBuses::stereo;
};

// Stereo in, stereo out; out = in * 2 * gain, gain taken from the block's
// parameter changes (last point of kGainId). getState/setState carry gain.
class RecordingProcessor : public PassThroughProcessor {
public:
    explicit RecordingProcessor(const ProcessorOptions& options);
    static Steinberg::FUnknown* create(const ProcessorOptions& options);

    // ---- IComponent
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;
    Steinberg::tresult PLUGIN_API getControllerClassId(Steinberg::TUID classId) override;
    Steinberg::tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
    Steinberg::int32 PLUGIN_API getBusCount(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir) override;
    Steinberg::tresult PLUGIN_API getBusInfo(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                             Steinberg::int32 index, Steinberg::Vst::BusInfo& bus) override;
    Steinberg::tresult PLUGIN_API activateBus(Steinberg::Vst::MediaType type, Steinberg::Vst::BusDirection dir,
                                              Steinberg::int32 index, Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
    // ---- IAudioProcessor
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
    // ---- IConnectionPoint
    Steinberg::tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint* other) override;
    Steinberg::tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint* other) override;
    Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

    // Sends a message with this id to the connected peer.
    Steinberg::tresult sendTestMessage(const char* id);

private:
    void declareBuses();
    void applyParameterChanges(Steinberg::Vst::IParameterChanges* changes);

    ProcessorOptions options_;
    double gain_ = kDefaultGain;
};

// Two parameters (Gain, Mix), or none; answers every call as the SDK's
// EditController does, after recording it.
class RecordingController : public Steinberg::Vst::EditController {
public:
    explicit RecordingController(bool withParameters, bool failInitialize = false);
    static Steinberg::FUnknown* create(bool withParameters, bool failInitialize = false);

    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;
    Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
    Steinberg::int32 PLUGIN_API getParameterCount() override;
    Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex, Steinberg::Vst::ParameterInfo& info) override;
    Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID tag) override;
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID tag, Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID tag, Steinberg::Vst::ParamValue value,
                                                        Steinberg::Vst::String128 string) override;
    Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID tag, Steinberg::Vst::TChar* string,
                                                        Steinberg::Vst::ParamValue& value) override;
    Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler) override;
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;
    Steinberg::tresult PLUGIN_API connect(Steinberg::Vst::IConnectionPoint* other) override;
    Steinberg::tresult PLUGIN_API disconnect(Steinberg::Vst::IConnectionPoint* other) override;
    Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

    // beginEdit/performEdit/endEdit on the handler; results into results[3].
    bool editOnHandler(Steinberg::Vst::ParamID id, double value, int* results);
    // restartComponent(flags) on the handler; its result, -1 without one.
    int restartOnHandler(Steinberg::int32 flags);
    Steinberg::tresult sendTestMessage(const char* id);

private:
    bool withParameters_;
    bool failInitialize_;
};

// A single-component plug-in: the processor answers IEditController itself
// (no parameters) and names no controller class.
class SelfControlledComponent : public RecordingProcessor, public Steinberg::Vst::IEditController {
public:
    SelfControlledComponent();
    static Steinberg::FUnknown* create();

    // Declared again: they are IEditController's too.
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
    Steinberg::int32 PLUGIN_API getParameterCount() override;
    Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex, Steinberg::Vst::ParameterInfo& info) override;
    Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value,
                                                        Steinberg::Vst::String128 string) override;
    Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                                                        Steinberg::Vst::ParamValue& value) override;
    Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain(Steinberg::Vst::ParamID id,
                                                                 Steinberg::Vst::ParamValue value) override;
    Steinberg::Vst::ParamValue PLUGIN_API plainParamToNormalized(Steinberg::Vst::ParamID id,
                                                                 Steinberg::Vst::ParamValue value) override;
    Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler* handler) override;
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

    OBJ_METHODS(SelfControlledComponent, RecordingProcessor)
    DEFINE_INTERFACES
        DEF_INTERFACE(Steinberg::Vst::IEditController)
    END_DEFINE_INTERFACES(RecordingProcessor)
    REFCOUNT_METHODS(RecordingProcessor)
};

// Entry points for RecordingExports.h: the newest live objects. Any thread.
bool editFromLiveController(Steinberg::Vst::ParamID id, double value, int* results);
int restartFromLiveController(Steinberg::int32 flags);
int sendFromLive(bool fromComponent, const char* id);

} // namespace talven::testplugin
