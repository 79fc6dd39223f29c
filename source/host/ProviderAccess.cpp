#include "host/ProviderAccess.h"

namespace talven {

using Steinberg::IPtr;
using Steinberg::Vst::IEditController;
using Steinberg::Vst::PlugProvider;

IPtr<PlugProvider> acquirePlugProvider(PluginInstance& instance)
{
    std::lock_guard<std::mutex> guard(instance.providerLock);
    return instance.plugProvider;
}

IPtr<PlugProvider> exchangePlugProvider(PluginInstance& instance, IPtr<PlugProvider> replacement)
{
    std::lock_guard<std::mutex> guard(instance.providerLock);
    IPtr<PlugProvider> previous = instance.plugProvider;
    instance.plugProvider = replacement;
    return previous;
}

ControllerReference acquireController(PluginInstance& instance)
{
    IPtr<PlugProvider> provider = acquirePlugProvider(instance);
    if (!provider)
        return {};
    // getController adds a reference; owned() adopts it instead of adding another.
    IPtr<IEditController> controller = Steinberg::owned(provider->getController());
    return ControllerReference(std::move(provider), std::move(controller));
}

} // namespace talven
