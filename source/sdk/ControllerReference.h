#pragma once

#include "sdk/PlugProvider.h"

#include <utility>

namespace Steinberg::Vst {

// An edit controller together with the provider it came from. The provider
// terminates the controller when it goes, so a caller that may race a detach
// keeps the provider alive for as long as it talks to the controller.
class ControllerReference {
public:
    ControllerReference() = default;
    // The provider's controller, or empty for a null provider or a plug-in
    // without one. Any thread.
    explicit ControllerReference(IPtr<PlugProvider> provider) : provider_(std::move(provider))
    {
        // getController adds a reference; owned() adopts it.
        if (provider_)
            controller_ = owned(provider_->getController());
    }

    explicit operator bool() const { return controller_ != nullptr; }
    IEditController* operator->() const { return controller_.get(); }
    IEditController* get() const { return controller_.get(); }
    const IPtr<PlugProvider>& provider() const { return provider_; }

private:
    // Declared first, released last.
    IPtr<PlugProvider> provider_;
    IPtr<IEditController> controller_;
};

} // namespace Steinberg::Vst
