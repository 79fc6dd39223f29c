// The exports that describe plug-ins and report their edits: argument
// checks, the handle looked up with a hold, the structs filled, and the C
// boundary; the work is in host/PluginDescription and host/ParameterReports.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "editor/EditorWork.h"
#include "host/Instantiation.h"
#include "host/PluginDescription.h"
#include "instance/Attachment.h"
#include "instance/InstanceHold.h"
#include "instance/InstanceService.h"
#include "platform/TextConversion.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace {

// Text the plug-in gave (its 8-bit fields need not be UTF-8) into a field:
// UTF-8, terminated, cut at a character boundary.
template <std::size_t Size>
void copyText(const std::string& text, char (&field)[Size])
{
    talven::copyUtf8Bounded(talven::utf16ToUtf8Lenient(talven::utf8ToUtf16Lenient(text)), field, Size);
}

void fillClassInfo(const VST3::Hosting::ClassInfo& from, TALVEN_CLASSINFO& to)
{
    std::memset(&to, 0, sizeof to);
    to.size = sizeof to;
    copyText(from.name(), to.name);
    copyText(from.vendor(), to.vendor);
    copyText(from.version(), to.version);
    copyText(from.category(), to.category);
    copyText(from.subCategoriesString(), to.subCategories);
    copyText(from.sdkVersion(), to.sdkVersion);
    copyText(talven::classIdText(from.ID()), to.classId);
}

} // namespace

extern "C" {

int32_t TALVEN_CALL TALVEN_GetInfo(uint32_t handle, TALVEN_INFO* info)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(info != nullptr && info->size >= sizeof(TALVEN_INFO), 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getInfo(*link, *info));
        talven::InstanceHold hold(handle);
        if (!hold.get())
            return 0;
        // A latency the plug-in announced is read after the restart it needs.
        talven::serviceInstance(*hold.get());
        // The first answer about an editor makes a view: made where views
        // are (on Linux the editor thread, whose X connection has made the
        // atoms GUIs look up and whose Xlib error handler is in place).
        talven::HostedPlugin& plugin = hold.get()->plugin;
        if (plugin.editorOffer.load() < 0)
            talven::runEditorWork([&] { talven::offersEditor(plugin); });
        const std::optional<talven::PluginDescription> described = talven::describePlugin(hold.get()->plugin);
        if (!described)
            return 0;
        // Filled here first: the caller's record changes only on success,
        // and a larger one keeps what lies beyond this version's fields.
        TALVEN_INFO filled{};
        filled.size = info->size;
        fillClassInfo(described->classInfo, filled.plugin);
        filled.inputChannels = described->inputChannels;
        filled.outputChannels = described->outputChannels;
        filled.latencySamples = described->latencySamples;
        filled.tailSamples = described->tailSamples;
        filled.hasEditor = described->hasEditor ? 1 : 0;
        filled.parameterCount = described->parameterCount;
        std::memcpy(info, &filled, sizeof filled);
        return 1;
    });
}

int32_t TALVEN_CALL TALVEN_GetModuleClasses(const char* path, TALVEN_CLASSINFO* classes, int32_t capacity)
{
    TALVEN_ASSERT_RETURN(path != nullptr && capacity >= 0, -1);
    TALVEN_ASSERT_RETURN(capacity == 0 || classes != nullptr, -1);
    // The caller's size of one entry is the stride of the whole array.
    const std::size_t stride = capacity > 0 ? classes[0].size : sizeof(TALVEN_CLASSINFO);
    TALVEN_ASSERT_RETURN(stride >= sizeof(TALVEN_CLASSINFO), -1);
    return talven::guardBoundary(-1, [&] {
        const std::optional<VST3::Hosting::ClassInfos> listed = talven::listModuleClasses(path);
        if (!listed)
            return -1;
        const auto count = static_cast<int32_t>(listed->size());
        auto* bytes = reinterpret_cast<unsigned char*>(classes);
        for (int32_t i = 0; i < count && i < capacity; ++i) {
            TALVEN_CLASSINFO filled{};
            fillClassInfo((*listed)[static_cast<std::size_t>(i)], filled);
            filled.size = static_cast<uint32_t>(stride);
            std::memcpy(bytes + static_cast<std::size_t>(i) * stride, &filled, sizeof filled);
        }
        return count;
    });
}

uint32_t TALVEN_CALL TALVEN_ChannelSetDSPClass(uint32_t channel, const char* path, const char* classId,
                                               int32_t priority, uint8_t showEditor, int32_t editorX, int32_t editorY,
                                               TALVEN_POSITIONPROC positionCallback, const char* title)
{
    TALVEN_ASSERT_RETURN(path != nullptr, 0u);
    TALVEN_ASSERT_RETURN(classId == nullptr || talven::isClassIdText(classId), 0u);
    return talven::guardBoundary(0u, [&] {
        talven::AttachOptions options;
        options.priority = priority;
        options.showEditor = showEditor;
        options.editorX = editorX;
        options.editorY = editorY;
        options.title = title;
        options.positionCallback = positionCallback;
        options.classId = classId;
        return talven::attachPlugin(channel, path, options);
    });
}

int32_t TALVEN_CALL TALVEN_SetParamCallback(uint32_t handle, TALVEN_PARAMPROC callback, void* user)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, setParamCallback(*link, callback, user));
        talven::InstanceHold hold(handle);
        talven::PluginInstance* instance = hold.get();
        if (!instance || !instance->attached.load())
            return 0;
        return instance->plugin.reports->set(handle, callback, user) ? 1 : 0;
    });
}

} // extern "C"
