#pragma once

#include "platform/StaticRecursiveLock.h"

namespace VST3 {
namespace Hosting {

// The one lock the library holds across calls into plug-ins. Loading a
// module (opening its library, its entry point, GetPluginFactory), every use
// of a factory (class descriptions, createInstance), a plug-in's set-up and
// take-down (initialize, connecting, terminate, the last release of its
// objects) and a module's exit point and unloading all take turns under it,
// process-wide.
//
// Why: a plug-in library is one set of globals shared by all its instances.
// Plug-ins built with DPF, among others, set those globals up in their entry
// point, read them in their factory and while an instance is initialized or
// terminated, and free them in their exit point, with no lock of their own:
// hosts make these calls on one thread. This library's callers attach and
// detach on any threads, so it makes them take turns instead.
//
// Re-entrant, since a plug-in may call back into the host during those
// calls. Never taken on the audio thread (the DSP and processing do not load,
// create or terminate anything). An instance lock may be held when taking
// it (instantiation), never the other way round; the registry's handle-table
// and idle locks are never held with it.
talven::StaticRecursiveLock& moduleLock();

} // namespace Hosting
} // namespace VST3
