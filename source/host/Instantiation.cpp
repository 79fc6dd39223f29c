#include "host/Instantiation.h"

#include "host/EditorStep.h"
#include "host/HostContext.h"
#include "host/ProviderAccess.h"
#include "log/TraceLog.h"
#include "registry/Registry.h"

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <string>
#include <utility>
#include <new>

using namespace Steinberg;

namespace talven {
namespace {

constexpr const char* kAudioEffectCategory = "Audio Module Class";

// Releases the open step's hold on every way out.
class HoldGuard {
public:
    explicit HoldGuard(std::uint32_t handle) : handle_(handle) {}
    ~HoldGuard() { unrefHandle(handle_); }
    HoldGuard(const HoldGuard&) = delete;
    HoldGuard& operator=(const HoldGuard&) = delete;

private:
    std::uint32_t handle_;
};

void describeFailure(std::string* failure, std::string text)
{
    if (failure)
        *failure = std::move(text);
}

// Makes the plug-in describe each parameter once before audio starts; the
// descriptions are not kept.
void sweepParameters(Vst::IEditController& controller)
{
    const int32 count = controller.getParameterCount();
    Vst::ParameterInfo info{};
    for (int32 index = 0; index < count; ++index)
        controller.getParameterInfo(index, info);
}

} // namespace

bool instantiatePlugin(PluginInstance& instance, const char* path, std::string* failure)
{
    ScopedLock guard(instance.lock);
    setGlobalPluginContext();
    if (!path) {
        describeFailure(failure, "No plug-in path given");
        return false;
    }
    // A plug-in made earlier goes before the module holding its code.
    exchangePlugProvider(instance, nullptr);

    std::string error;
    instance.module = VST3::Hosting::Module::create(path, error);
    if (!instance.module) {
        describeFailure(failure, std::string("Could not create Module for file:") + path + "\nError: " + error);
        return false;
    }

    const VST3::Hosting::PluginFactory& factory = instance.module->getFactory();
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
    exchangePlugProvider(instance, provider);
    if (!provider) {
        describeFailure(failure, error + path);
        return false;
    }

    IPtr<Vst::IEditController> controller = owned(provider->getController());
    if (!controller) {
        describeFailure(failure, std::string("No EditController found (needed for allowing editor) in file ") + path);
        return false;
    }
    provider->setComponentHandler(instance.componentHandler);

    IPtr<Vst::IComponent> component = owned(provider->getComponent());
    return component != nullptr;
}

bool openPlugin(const char* path, std::uint32_t handle, std::uint8_t showEditor, std::int32_t x,
                std::int32_t y, const char* title) noexcept
{
    PluginInstance* instance = refHandle(handle);
    HoldGuard hold(handle);
    if (!instance || instance->handle != handle)
        return false;
    try {
        if (!instantiatePlugin(*instance, path))
            return false;
        const ControllerReference controller = acquireController(*instance);
        if (showEditor != 0) {
            openEditorForOpenStep(*instance, x, y, title);
            writeTraceLine("openEditor createViewAndShow true");
        }
        if (controller)
            sweepParameters(*controller.get());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace talven
