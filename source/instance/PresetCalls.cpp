#include "instance/PresetCalls.h"

#include "editor/EditorWork.h"
#include "instance/InstanceHold.h"
#include "platform/BlockScope.h"
#include "presets/PresetManager.h"
#include "presets/PresetMemory.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

using namespace Steinberg;
using Steinberg::Vst::InterAppAudio::PresetManager;

namespace talven {
namespace {

// Recalled paths are copied into a buffer of this size. A longer one is
// refused: cut short it could name some other file.
constexpr std::size_t kRecallPathCapacity = 1024;

// Run just before a state reaches the plug-in: the edits queued until now
// are older than that state and must not be applied on top of it. Passing
// the instance lock lets a block in progress (which may still apply them)
// finish first; every later block drops them.
void supersedeQueuedEdits(HostedPlugin& plugin)
{
    plugin.paramTransfer->supersedePending();
    ScopedLock barrier(plugin.lock);
}

// Hands the edits queued for the processor to it now rather than with the
// next block: only to a plug-in that is processing and not bypassed, and
// waiting for a block in progress. What the plug-in reports from that call
// waits in its reports until the caller has let go of every lock.
bool deliverQueuedEdits(PluginInstance& instance)
{
    HostedPlugin& plugin = instance.plugin;
    ScopedLock guard(plugin.lock);
    if (plugin.bypass.load() != 0 || !plugin.processing.load() || !plugin.hasProvider())
        return false;
    return instance.blocks.flushEdits();
}

// Where a store writes and its load-back reads: the file at path, or a
// memory stream (the state in memory, which never touches the disk).
struct PresetPlace {
    const char* path = nullptr;
    Steinberg::IBStream* memory = nullptr;

    bool write(PresetManager& manager, const PresetMetaInfo& meta) const
    {
        if (path)
            return manager.writePreset(path, meta);
        return memory->seek(0, Steinberg::IBStream::kIBSeekSet, nullptr) == Steinberg::kResultOk
               && manager.writePreset(memory, meta);
    }
    Steinberg::tresult load(PresetManager& manager, const std::function<void()>& before, PresetMetaInfo* meta) const
    {
        if (path)
            return manager.loadPreset(path, before, meta);
        return manager.loadPreset(memory, before, meta);
    }
};

// The store under the control lock; see storePreset.
bool storeUnderControlLock(PluginInstance& instance, PresetManager& manager, const PresetPlace& place)
{
    HostedPlugin& plugin = instance.plugin;
    // Bypass and activation stay as they are for the whole store.
    ScopedLock control(plugin.controlLock);
    std::vector<std::pair<Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue>> waiting;
    {
        // Read while no block takes them.
        ScopedLock guard(plugin.lock);
        plugin.paramTransfer->forEachUnread([&](auto id, auto value) { waiting.emplace_back(id, value); });
    }
    deliverQueuedEdits(instance);

    const Steinberg::Vst::ControllerReference controller = plugin.controller();
    const auto turn = controller.turn();
    if (!place.write(manager, instance.presetMetaInfo))
        return false;
    place.load(manager, [&] { supersedeQueuedEdits(plugin); }, nullptr);
    for (const auto& [id, value] : waiting) {
        manager.setControllerValue(id, value);
        plugin.paramTransfer->addChange(id, value, 0);
    }
    return true;
}

// The load-back makes the plug-in take the state it has just given. Edits
// queued for the processor are handed to it first (a call without samples),
// so that the state written holds what the caller set last. Not every
// processor takes them there (zam-plugins read parameter changes only with
// samples to process), and a bypassed one cannot be handed any: so the
// queued values are noted before, and after the load-back has set the
// plug-in to the file's values they are given again, to the controller and
// queued for the processor. Nothing the caller set is lost; for a processor
// that took them it changes nothing.
bool storePreset(std::uint32_t handle, const PresetPlace& place)
{
    InstanceHold hold(handle);
    PluginInstance* const instance = hold.get();
    if (!instance || BlockScope::inside(instance))
        return false;
    bool stored = false;
    // VST 3 wants state calls on the UI thread: the editor thread while an
    // editor is up (JUCE asserts otherwise), else the caller's.
    runOnUiThread([&] {
        PresetManager manager(instance->plugin.provider());
        if (manager.hasPlugin())
            stored = storeUnderControlLock(*instance, manager, place);
    });
    // What the plug-in reported from the flush reaches the program with no
    // library lock held: its callback may call any export.
    instance->plugin.reports->deliverDeferred();
    return stored;
}

// The recall itself, on the UI thread, under the caller's hold.
bool recallOnUiThread(PluginInstance& instance, const PresetPlace& place)
{
    HostedPlugin& plugin = instance.plugin;
    PresetManager manager(plugin.provider());
    if (!manager.hasPlugin())
        return false;
    // Not while bypass or the detach switch the plug-in.
    ScopedLock control(plugin.controlLock);
    const Steinberg::Vst::ControllerReference controller = plugin.controller();
    const auto turn = controller.turn();
    PresetMetaInfo meta;
    const Steinberg::tresult result = place.load(manager, [&] { supersedeQueuedEdits(plugin); }, &meta);
    if (result != Steinberg::kResultOk && result != Steinberg::kNotImplemented)
        return false;
    instance.presetMetaInfo = std::move(meta);
    return true;
}

bool recallPreset(std::uint32_t handle, const PresetPlace& place)
{
    InstanceHold hold(handle);
    PluginInstance* const instance = hold.get();
    // From inside the plug-in's own process call: refused.
    if (!instance || BlockScope::inside(instance))
        return false;
    bool recalled = false;
    runOnUiThread([&] { recalled = recallOnUiThread(*instance, place); });
    return recalled;
}

} // namespace

bool storePresetFor(std::uint32_t handle, const char* path)
{
    if (handle == 0 || !path)
        return false;
    PresetPlace place;
    place.path = path;
    return storePreset(handle, place);
}

bool recallPresetFor(std::uint32_t handle, const char* path)
{
    if (handle == 0 || !path)
        return false;
    char buffer[kRecallPathCapacity] = {};
    const std::size_t length = strnlen(path, kRecallPathCapacity);
    if (length == kRecallPathCapacity)
        return false;
    std::memcpy(buffer, path, length);
    PresetPlace place;
    place.path = buffer;
    return recallPreset(handle, place);
}

bool getStateFor(std::uint32_t handle, std::vector<char>& state)
{
    if (handle == 0)
        return false;
    IPtr<PresetMemory> memory = owned(PresetMemory::create());
    PresetPlace place;
    place.memory = memory;
    if (!storePreset(handle, place))
        return false;
    state = memory->bytes();
    return true;
}

bool setStateFor(std::uint32_t handle, const void* data, std::size_t size)
{
    if (handle == 0 || !data || size == 0 || size > static_cast<std::size_t>(PresetMemory::kMaxSize))
        return false;
    // A copy of the caller's bytes: a plug-in may keep its stream beyond the
    // call, the caller's buffer may not live that long.
    const char* const bytes = static_cast<const char*>(data);
    IPtr<PresetMemory> memory = owned(PresetMemory::create(std::vector<char>(bytes, bytes + size)));
    PresetPlace place;
    place.memory = memory;
    return recallPreset(handle, place);
}

} // namespace talven
