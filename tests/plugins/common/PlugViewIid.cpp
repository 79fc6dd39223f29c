// The SDK copy defines no IPlugView identifier, yet its EditController
// refers to it; every plug-in gets it here.
#include "pluginterfaces/gui/iplugview.h"

namespace Steinberg {
DEF_CLASS_IID(IPlugView)
}
