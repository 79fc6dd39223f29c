#include "host/Instantiation.h"

#include "host/HostContext.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <cctype>
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

bool sameIdText(const std::string& a, const char* b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!b[i] || std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return b[a.size()] == '\0';
}

// Instruments share the audio module category; their sub-categories tell
// them apart ("Instrument", "Instrument|Synth").
bool isInstrument(const VST3::Hosting::ClassInfo& classInfo)
{
    for (const std::string& subCategory : classInfo.subCategories()) {
        if (subCategory == "Instrument")
            return true;
    }
    return false;
}

// The class to make: the one with classId when it is of the kind wanted, or
// without a classId the first class of the audio module category, as
// TALVEN_ChannelSetDSP has always taken (refused when it is an instrument),
// or for an instrument the module's first instrument. Only that one counts,
// even when it cannot be set up.
const VST3::Hosting::ClassInfo* chooseClass(const VST3::Hosting::ClassInfos& classes, const char* classId,
                                            bool instrument)
{
    for (const VST3::Hosting::ClassInfo& classInfo : classes) {
        const bool audio = classInfo.category() == kAudioEffectCategory;
        if (classId) {
            if (!sameIdText(classIdText(classInfo.ID()), classId))
                continue;
            return audio && isInstrument(classInfo) == instrument ? &classInfo : nullptr;
        }
        if (audio && instrument && !isInstrument(classInfo))
            continue;
        if (audio)
            return isInstrument(classInfo) == instrument ? &classInfo : nullptr;
    }
    return nullptr;
}

} // namespace

std::string classIdText(const FUID& id)
{
    char text[33] = {};
    id.toString(text);
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return std::string(text);
}

bool isClassIdText(const char* text)
{
    if (!text)
        return false;
    std::size_t length = 0;
    for (; text[length]; ++length) {
        if (length >= 32 || !std::isxdigit(static_cast<unsigned char>(text[length])))
            return false;
    }
    return length == 32;
}

bool offersEditorView(Vst::IEditController& controller)
{
    const IPtr<IPlugView> view = owned(controller.createView(Vst::ViewType::kEditor));
    return view != nullptr;
}

bool offersEditor(HostedPlugin& plugin)
{
    const int known = plugin.editorOffer.load();
    if (known >= 0)
        return known != 0;
    const Vst::ControllerReference controller = plugin.controller();
    if (!controller)
        return false;
    const auto turn = controller.turn();
    const bool offered = offersEditorView(*controller.get());
    plugin.editorOffer = offered ? 1 : 0;
    return offered;
}

bool instantiatePlugin(HostedPlugin& plugin, const char* path, std::string* failure, const char* classId,
                       bool instrument)
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
    const VST3::Hosting::ClassInfos classes = factory.classInfos();
    if (const VST3::Hosting::ClassInfo* chosen = chooseClass(classes, classId, instrument)) {
        provider = owned(new Vst::PlugProvider(factory, *chosen, true));
        if (!provider->initialize())
            provider = nullptr;
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

std::vector<Vst::ParamID> sweepParameters(Vst::IEditController& controller)
{
    const int32 count = controller.getParameterCount();
    std::vector<Vst::ParamID> ids;
    ids.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    Vst::ParameterInfo info{};
    for (int32 index = 0; index < count; ++index) {
        if (controller.getParameterInfo(index, info) == kResultOk)
            ids.push_back(info.id);
    }
    return ids;
}

} // namespace talven
