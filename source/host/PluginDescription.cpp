#include "host/PluginDescription.h"

#include "host/HostContext.h"
#include "host/Instantiation.h"
#include "platform/TextConversion.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <string>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

int32 mainBusChannels(IComponent& component, BusDirection direction)
{
    if (component.getBusCount(kAudio, direction) <= 0)
        return 0;
    BusInfo info{};
    return component.getBusInfo(kAudio, direction, 0, info) == kResultOk ? info.channelCount : 0;
}

} // namespace

std::optional<PluginDescription> describePlugin(HostedPlugin& plugin)
{
    const ControllerReference controller = plugin.controller();
    const IPtr<PlugProvider>& provider = controller.provider();
    if (!provider)
        return std::nullopt;
    PluginDescription description;
    description.classInfo = provider->classInfo();
    if (plugin.module)
        description.classInfo.inheritVendor(plugin.module->getFactory().info().vendor);
    description.hasEditor = offersEditor(plugin);
    if (controller)
        description.parameterCount = controller->getParameterCount();
    const IPtr<IComponent> component = owned(provider->getComponent());
    if (component) {
        description.inputChannels = mainBusChannels(*component, kInput);
        description.outputChannels = mainBusChannels(*component, kOutput);
        if (FUnknownPtr<IAudioProcessor> processor{component}) {
            description.latencySamples = static_cast<std::int32_t>(processor->getLatencySamples());
            description.tailSamples = processor->getTailSamples();
        }
    }
    return description;
}

std::optional<VST3::Hosting::ClassInfos> listModuleClasses(const char* path)
{
    if (!path || !isValidUtf8(path))
        return std::nullopt;
    setGlobalPluginContext();
    std::string error;
    const VST3::Hosting::Module::Ptr module = VST3::Hosting::Module::create(path, error);
    if (!module)
        return std::nullopt;
    VST3::Hosting::ClassInfos classes = module->getFactory().classInfos();
    const std::string vendor = module->getFactory().info().vendor;
    for (VST3::Hosting::ClassInfo& classInfo : classes)
        classInfo.inheritVendor(vendor);
    return classes;
}

} // namespace talven
