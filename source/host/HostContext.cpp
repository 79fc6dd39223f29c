#include "host/HostContext.h"

#include "sdk/PluginContextFactory.h"

namespace talven {
namespace {
Steinberg::Vst::HostApplication theHostApplication;
}

Steinberg::Vst::HostApplication& hostApplication()
{
    return theHostApplication;
}

void setGlobalPluginContext()
{
    Steinberg::PluginContextFactory::instance().setPluginContext(&theHostApplication);
}

} // namespace talven
