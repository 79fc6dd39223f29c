#include "editor/EditorWindowFactory.h"

#include <atomic>

namespace talven {
namespace {

std::atomic<EditorWindowFactory*>& installedFactory()
{
    static std::atomic<EditorWindowFactory*> factory{platformEditorWindowFactory()};
    return factory;
}

} // namespace

EditorWindowFactory* editorWindowFactory()
{
    return installedFactory().load();
}

EditorWindowFactory* replaceEditorWindowFactory(EditorWindowFactory* factory)
{
    return installedFactory().exchange(factory);
}

} // namespace talven
