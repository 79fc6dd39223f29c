#include "host/HostedPlugin.h"

namespace talven {

using Steinberg::IPtr;
using Steinberg::Vst::PlugProvider;

HostedPlugin::HostedPlugin()
    : paramTransfer(std::make_shared<Steinberg::Vst::ParameterChangeTransfer>(kTransferEntries)),
      reports(std::make_shared<ParameterReports>()), restarts(std::make_shared<RestartRequests>()),
      componentHandler(ComponentHandler::make(paramTransfer, reports, restarts))
{
}

IPtr<PlugProvider> HostedPlugin::provider() const
{
    std::lock_guard<std::mutex> guard(providerLock_);
    return provider_;
}

Steinberg::Vst::ControllerReference HostedPlugin::controller() const
{
    return Steinberg::Vst::ControllerReference(provider(), &controllerLock);
}

IPtr<PlugProvider> HostedPlugin::exchangeProvider(IPtr<PlugProvider> next)
{
    std::lock_guard<std::mutex> guard(providerLock_);
    IPtr<PlugProvider> previous = provider_;
    provider_ = next;
    hasProvider_.store(provider_ != nullptr, std::memory_order_release);
    return previous;
}

} // namespace talven
