// Class ids and table entries shared by the recording test plug-ins.
#pragma once

#include "CallLog.h"
#include "RecordingPlugin.h"
#include "TestPluginFactory.h"

#include "pluginterfaces/vst/ivstcomponent.h"

namespace talven::testplugin {

inline const Steinberg::FUID& recorderProcessorUid()
{
    static const Steinberg::FUID uid(0x7A1E0002, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
    return uid;
}
inline const Steinberg::FUID& recorderControllerUid()
{
    static const Steinberg::FUID uid(0x7A1E0002, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);
    return uid;
}
inline const Steinberg::FUID& secondProcessorUid()
{
    static const Steinberg::FUID uid(0x7A1E0002, 0x5E7A4C11, 0x9D3B2F60, 0x0000A002);
    return uid;
}

// The recording processor naming the recording controller.
inline Steinberg::FUnknown* createRecorderProcessor()
{
    recordCall("Factory::create Processor");
    return RecordingProcessor::create(ProcessorOptions{recorderControllerUid(), false});
}
inline Steinberg::FUnknown* createSecondProcessor()
{
    recordCall("Factory::create SecondProcessor");
    return RecordingProcessor::create(ProcessorOptions{recorderControllerUid(), false});
}
inline Steinberg::FUnknown* createRecorderController()
{
    recordCall("Factory::create Controller");
    return RecordingController::create(true);
}

// A recording processor with other buses than the recorder's stereo pair.
template <RecordedBuses buses>
Steinberg::FUnknown* createBusVariant()
{
    recordCall("Factory::create Processor");
    return RecordingProcessor::create(ProcessorOptions{recorderControllerUid(), false, buses});
}

template <RecordedBuses buses>
TestClass busVariantClass(const char* name)
{
    return {recorderProcessorUid(), kVstAudioEffectClass, name, Steinberg::Vst::ComponentFlags::kDistributable,
            "Fx", createBusVariant<buses>};
}

inline TestClass recorderProcessorClass(const char* category = kVstAudioEffectClass)
{
    return {recorderProcessorUid(), category, "Talven Recorder", Steinberg::Vst::ComponentFlags::kDistributable,
            "Fx", createRecorderProcessor};
}
inline TestClass recorderControllerClass()
{
    return {recorderControllerUid(), kVstComponentControllerClass, "Talven Recorder Controller", 0, "",
            createRecorderController};
}

} // namespace talven::testplugin
