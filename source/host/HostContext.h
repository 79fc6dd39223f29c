#pragma once

#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace talven {

// The one host object of the library ("My VST3 HostApplication"), made by
// static construction at load and destroyed at unload. Not reference
// counted.
Steinberg::Vst::HostApplication& hostApplication();

// Makes the host object the global plug-in context every plug-in is
// initialized with. Any thread: every caller stores the same object.
void setGlobalPluginContext();

} // namespace talven
