#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

#include <array>

namespace talven {

// Which parameter takes each controller of each MIDI channel (the plug-in's
// IMidiMapping for its first event bus), and its program-change parameter.
// Read once off the audio thread, so that a block looks controllers up in a
// table instead of asking the controller.
class MidiMapping {
public:
    static constexpr Steinberg::Vst::ParamID kNone = 0xFFFFFFFF;
    static constexpr int kChannels = 16;
    // Controllers 0..127, then kAfterTouch (128) and kPitchBend (129).
    static constexpr int kControllers = Steinberg::Vst::kPitchBend + 1;

    MidiMapping() { clear(); }
    void clear();

    // Asks the controller for every assignment and finds the program-change
    // parameter of the root unit. The caller has a turn at the controller.
    void read(Steinberg::Vst::IEditController& controller);

    Steinberg::Vst::ParamID controller(int channel, int number) const
    {
        return controllers_[static_cast<std::size_t>(channel * kControllers + number)];
    }
    void assign(int channel, int number, Steinberg::Vst::ParamID id)
    {
        controllers_[static_cast<std::size_t>(channel * kControllers + number)] = id;
    }
    Steinberg::Vst::ParamID programParameter() const { return programParameter_; }
    // Programs the parameter steps through (its step count), 0 for a
    // continuous one.
    Steinberg::int32 programSteps() const { return programSteps_; }
    void setProgramParameter(Steinberg::Vst::ParamID id, Steinberg::int32 steps)
    {
        programParameter_ = id;
        programSteps_ = steps;
    }

private:
    std::array<Steinberg::Vst::ParamID, kChannels * kControllers> controllers_{};
    Steinberg::Vst::ParamID programParameter_ = kNone;
    Steinberg::int32 programSteps_ = 0;
};

} // namespace talven
