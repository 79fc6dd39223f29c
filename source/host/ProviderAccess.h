#pragma once

#include "registry/PluginInstance.h"

#include <utility>

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

// An edit controller together with the provider it came from. The provider
// terminates the controller when it goes, so a caller racing a detach must
// keep the provider alive for as long as it talks to the controller.
class ControllerReference {
public:
    ControllerReference() = default;
    ControllerReference(Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider,
                        Steinberg::IPtr<Steinberg::Vst::IEditController> controller)
        : provider_(std::move(provider)), controller_(std::move(controller))
    {
    }
    explicit operator bool() const { return controller_ != nullptr; }
    Steinberg::Vst::IEditController* operator->() const { return controller_.get(); }
    Steinberg::Vst::IEditController* get() const { return controller_.get(); }

private:
    // Declared first, released last.
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider_;
    Steinberg::IPtr<Steinberg::Vst::IEditController> controller_;
};

// The provider's edit controller, or empty (no provider, or a plug-in without
// one). Any thread.
ControllerReference acquireController(PluginInstance& instance);

} // namespace talven
