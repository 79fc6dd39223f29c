// The frame and scale interfaces' identifiers, which the SDK copy does not
// define (the common library defines IPlugView's).
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg {
DEF_CLASS_IID(IPlugFrame)
DEF_CLASS_IID(IPlugViewContentScaleSupport)
} // namespace Steinberg

#if SMTG_OS_LINUX
// The host's run loop and the handlers the view registers there.
namespace Steinberg::Linux {
DEF_CLASS_IID(IRunLoop)
DEF_CLASS_IID(IEventHandler)
DEF_CLASS_IID(ITimerHandler)
} // namespace Steinberg::Linux
#endif
