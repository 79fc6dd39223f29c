#include "ChildWindow.h"

#include "pluginterfaces/gui/iplugview.h"

namespace talven::testplugin {

const char* nativeWindowType()
{
    return Steinberg::kPlatformTypeX11EmbedWindowID;
}

void* createChildWindow(void*, int, int)
{
    return nullptr;
}

void resizeChildWindow(void*, int, int) {}

void destroyChildWindow(void*) {}

} // namespace talven::testplugin
