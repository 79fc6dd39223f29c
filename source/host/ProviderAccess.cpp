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

IPtr<IEditController> acquireController(PluginInstance& instance)
{
    IPtr<PlugProvider> provider = acquirePlugProvider(instance);
    if (!provider)
        return nullptr;
    // getController adds a reference; owned() adopts it instead of adding another.
    return Steinberg::owned(provider->getController());
}

} // namespace talven
