#pragma once

#include "registry/PluginInstance.h"

namespace talven {

// A counted reference to the instance's provider, for the functions that call
// the plug-in without the instance lock (parameters, presets, editor). The
// detach may release plugProvider on another thread at any moment; the
// reference taken here keeps the plug-in alive until the caller lets go.
// Never waits for a block in progress. Any thread. Null after the detach.
Steinberg::IPtr<Steinberg::Vst::PlugProvider> acquirePlugProvider(PluginInstance& instance);

// Replaces the provider (null to release it) and returns the old one, so
// that the caller releases it outside providerLock. Caller holds the
// instance lock.
Steinberg::IPtr<Steinberg::Vst::PlugProvider> exchangePlugProvider(
    PluginInstance& instance, Steinberg::IPtr<Steinberg::Vst::PlugProvider> replacement);

// The provider's edit controller, or null (no provider, or a plug-in without
// one). Holds its own references; any thread.
Steinberg::IPtr<Steinberg::Vst::IEditController> acquireController(PluginInstance& instance);

} // namespace talven
