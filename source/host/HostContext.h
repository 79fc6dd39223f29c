#pragma once

#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace talven {

// The one host object of the library ("My VST3 HostApplication"), the
// context every plug-in and every factory is given. It is not reference
// counted, and plug-ins keep it until their module is unloaded, so it lives
// on the heap from the load hook (or its first use, where no load hook runs)
// until an unload finds no module loaded; it is never a static object, whose
// destructor could run under plug-ins still attached at exit. Any thread.
Steinberg::Vst::HostApplication& hostApplication();

// Makes the host object the global plug-in context every plug-in is
// initialized with. Any thread: every caller stores the same object.
void setGlobalPluginContext();

// Load hook: makes the host object.
void createHostContext();

// Unload hook: destroys the host object unless a module is still loaded
// (instances left attached); then it stays for whatever still runs.
void releaseHostContext();

} // namespace talven
