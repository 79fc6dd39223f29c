#include "instance/EditorCalls.h"

#include "editor/EditorHosting.h"
#include "editor/EditorWindowFactory.h"
#include "editor/EditorWork.h"
#include "instance/InstanceHold.h"
#include "log/TraceLog.h"

#include <mutex>
#include <string>

namespace talven {
namespace {

// What a program learns of an editor that could not go into its window:
// TALVEN_GetInfo's hasEditor reads 0 until a view of the plug-in goes into
// a window again, and the trace says why. The editor's thread.
void noteOpening(HostedPlugin& plugin, EditorOpening opening)
{
    if (opening == EditorOpening::shown) {
        plugin.editorOffer = 1;
    } else if (opening == EditorOpening::viewRefused) {
        plugin.editorOffer = 0;
        writeTraceLine("openEditor: the view did not attach to the window, which stays hidden");
    }
}

} // namespace

void showEditorOf(PluginInstance& instance, std::int32_t x, std::int32_t y, const char* title)
{
    HostedPlugin& plugin = instance.plugin;
    runEditorWork([&] {
        noteOpening(plugin, openEditor(instance.editor, [&plugin] { return plugin.controller(); }, x, y, title));
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
        HostedPlugin& plugin = instance->plugin;
        runEditorWork([&] {
            noteOpening(plugin, openEditor(instance->editor, [&plugin] { return plugin.controller(); }, x, y,
                                           titleCopy.c_str()));
            setEditorPositionCallback(instance->editor, positionCallback);
        });
    } else {
        runEditorWork([&] { hideEditor(instance->editor); });
    }
    return 1;
}

int embedEditor(std::uint32_t handle, void* parent)
{
    releaseAbandonedEditors();
    InstanceHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance)
        return 0;
    HostedPlugin& plugin = instance->plugin;
    const std::shared_ptr<ViewResizeReport> report = instance->editor.resizeReport;
    EditorEmbedding result = EditorEmbedding::refused;
    // A removal runs where the embedded view lives: its parent's thread.
    void* const target = parent ? parent : embeddedParentOf(instance->editor);
    runEditorWorkIn(target, [&] {
        result = talven::embedEditor(
            instance->editor, [&plugin] { return plugin.controller(); }, parent, [report](Size size) {
                if (report)
                    report->report(size.width, size.height);
            });
        if (result == EditorEmbedding::embedded)
            plugin.editorOffer = 1;
    });
    return result == EditorEmbedding::refused ? 0 : 1;
}

int editorSize(std::uint32_t handle, std::int32_t& width, std::int32_t& height)
{
    InstanceHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance)
        return 0;
    Size size;
    bool known = false;
    runEditorWorkIn(embeddedParentOf(instance->editor), [&] { known = shownEditorSize(instance->editor, size); });
    if (!known)
        return 0;
    width = size.width;
    height = size.height;
    return 1;
}

int setEditorSize(std::uint32_t handle, std::int32_t& width, std::int32_t& height)
{
    InstanceHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance)
        return 0;
    Size size{width, height};
    bool taken = false;
    runEditorWorkIn(embeddedParentOf(instance->editor),
                     [&] { taken = resizeShownEditor(instance->editor, size); });
    if (!taken)
        return 0;
    width = size.width;
    height = size.height;
    return 1;
}

int setEditorCallback(std::uint32_t handle, ViewResizeCallback callback, void* user)
{
    InstanceHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance || !instance->editor.resizeReport)
        return 0;
    instance->editor.resizeReport->set(callback, user);
    return 1;
}

} // namespace talven
