#include "host/Instantiation.h"

#include "host/HostContext.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <string>
#include <utility>

using namespace Steinberg;

namespace talven {
namespace {

constexpr const char* kAudioEffectCategory = "Audio Module Class";

void describeFailure(std::string* failure, std::string text)
{
    if (failure)
        *failure = std::move(text);
}

} // namespace

bool instantiatePlugin(HostedPlugin& plugin, const char* path, std::string* failure)
{
    setGlobalPluginContext();
    if (!path) {
        describeFailure(failure, "No plug-in path given");
        return false;
    }
    // A plug-in made earlier goes before the module holding its code.
    plugin.exchangeProvider(nullptr);

    std::string error;
    plugin.module = VST3::Hosting::Module::create(path, error);
    if (!plugin.module) {
        describeFailure(failure, std::string("Could not create Module for file:") + path + "\nError: " + error);
        return false;
    }

    const VST3::Hosting::PluginFactory& factory = plugin.module->getFactory();
    IPtr<Vst::PlugProvider> provider;
    for (const VST3::Hosting::ClassInfo& classInfo : factory.classInfos()) {
        if (classInfo.category() != kAudioEffectCategory)
            continue;
        // Only the first audio effect counts, even when it cannot be set up.
        provider = owned(new Vst::PlugProvider(factory, classInfo, true));
        if (!provider->initialize())
            provider = nullptr;
        break;
    }
    plugin.exchangeProvider(provider);
    if (!provider) {
        describeFailure(failure, error + path);
        return false;
    }

    IPtr<Vst::IEditController> controller = owned(provider->getController());
    if (!controller) {
        describeFailure(failure, std::string("No EditController found (needed for allowing editor) in file ") + path);
        return false;
    }
    provider->setComponentHandler(plugin.componentHandler);

    IPtr<Vst::IComponent> component = owned(provider->getComponent());
    return component != nullptr;
}

void sweepParameters(Vst::IEditController& controller)
{
    const int32 count = controller.getParameterCount();
    Vst::ParameterInfo info{};
    for (int32 index = 0; index < count; ++index)
        controller.getParameterInfo(index, info);
}

} // namespace talven
