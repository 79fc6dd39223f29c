// The installed SDK copy defines no identifier for the Linux run loop; the
// host side offers it (editor/PlugRunLoop.h).
#include "pluginterfaces/gui/iplugview.h"

namespace Steinberg::Linux {
DEF_CLASS_IID(IRunLoop)
} // namespace Steinberg::Linux
