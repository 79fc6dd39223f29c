#include "events/MidiMapping.h"

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstunits.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {

void MidiMapping::clear()
{
    controllers_.fill(kNone);
    programParameter_ = kNone;
    programSteps_ = 0;
}

void MidiMapping::read(IEditController& controller)
{
    clear();
    FUnknownPtr<IMidiMapping> midiMapping(&controller);
    if (midiMapping) {
        for (int channel = 0; channel < kChannels; ++channel) {
            for (int number = 0; number < kControllers; ++number) {
                ParamID id = kNone;
                if (midiMapping->getMidiControllerAssignment(0, static_cast<int16>(channel),
                                                             static_cast<CtrlNumber>(number), id) == kResultTrue)
                    assign(channel, number, id);
            }
        }
    }
    const int32 count = controller.getParameterCount();
    ParameterInfo info{};
    for (int32 index = 0; index < count; ++index) {
        if (controller.getParameterInfo(index, info) != kResultOk)
            continue;
        if ((info.flags & ParameterInfo::kIsProgramChange) != 0 && info.unitId == kRootUnitId) {
            setProgramParameter(info.id, info.stepCount);
            return;
        }
    }
}

} // namespace talven
