#include "instance/EditorCalls.h"

#include "editor/EditorHosting.h"
#include "editor/EditorWindowFactory.h"
#include "editor/EditorWork.h"
#include "instance/InstanceHold.h"

#include <mutex>
#include <string>

namespace talven {
namespace {

// A window shown means the plug-in made a view: whether it offers an editor
// is known from now on without asking it for another.
void noteShownEditor(PluginInstance& instance)
{
    std::lock_guard<std::mutex> guard(instance.editor.lock);
    if (instance.editor.window)
        instance.plugin.editorOffer = 1;
}

} // namespace

void showEditorOf(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title)
{
    const HostedPlugin& plugin = instance.plugin;
    runEditorWork([&] {
        openEditor(instance.editor, [&plugin] { return plugin.controller(); }, x, y, title);
        noteShownEditor(instance);
    });
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
            noteShownEditor(*instance);
            setEditorPositionCallback(instance->editor, positionCallback);
        });
    } else {
        runEditorWork([&] { hideEditor(instance->editor); });
    }
    return 1;
}

} // namespace talven
