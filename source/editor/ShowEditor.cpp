#include "editor/ShowEditor.h"

#include "editor/EditorHosting.h"
#include "editor/EditorWork.h"
#include "registry/RecordHold.h"

#include <string>

namespace talven {

int showEditor(std::uint32_t handle, bool visible, std::int32_t x, std::int32_t y,
               Steinberg::Vst::EditorHost::PositionCallback positionCallback, const char* title)
{
    RecordHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance)
        return 0;
    if (visible) {
        // Read after calls into the plug-in and the program's callback.
        const std::string titleCopy = title ? title : "";
        runEditorWork([&] {
            openEditor(*instance, x, y, titleCopy.c_str());
            setEditorPositionCallback(*instance, positionCallback);
        });
    } else {
        runEditorWork([&] { hideEditor(*instance); });
    }
    return 1;
}

} // namespace talven
