#include "instance/EditorCalls.h"

#include "editor/EditorHosting.h"
#include "editor/EditorWindowFactory.h"
#include "editor/EditorWork.h"
#include "instance/InstanceHold.h"

#include <string>

namespace talven {

void showEditorOf(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title)
{
    const HostedPlugin& plugin = instance.plugin;
    runEditorWork([&] { openEditor(instance.editor, [&plugin] { return plugin.controller(); }, x, y, title); });
}

int showEditor(std::uint32_t handle, bool visible, std::int32_t x, std::int32_t y,
               Steinberg::Vst::EditorHost::PositionCallback positionCallback, const char* title)
{
    releaseAbandonedEditors();
    InstanceHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance)
        return 0;
    if (visible) {
        // Read after calls into the plug-in and the program's callback.
        const std::string titleCopy = title ? title : "";
        const HostedPlugin& plugin = instance->plugin;
        runEditorWork([&] {
            openEditor(instance->editor, [&plugin] { return plugin.controller(); }, x, y, titleCopy.c_str());
            setEditorPositionCallback(instance->editor, positionCallback);
        });
    } else {
        runEditorWork([&] { hideEditor(instance->editor); });
    }
    return 1;
}

} // namespace talven
