#include "instance/PresetCalls.h"

#include "editor/EditorWork.h"
#include "instance/InstanceHold.h"
#include "platform/BlockScope.h"
#include "presets/PresetManager.h"

#include <cstring>
#include <utility>
#include <vector>

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
// waiting for a block in progress.
bool deliverQueuedEdits(PluginInstance& instance)
{
    HostedPlugin& plugin = instance.plugin;
    bool delivered = false;
    {
        ScopedLock guard(plugin.lock);
        if (plugin.bypass.load() != 0 || !plugin.processing.load() || !plugin.hasProvider())
            return false;
        delivered = instance.blocks.flushEdits();
    }
    plugin.reports->deliverDeferred();
    return delivered;
}

// The load-back makes the plug-in take the state it has just given. Edits
// queued for the processor are handed to it first (a call without samples),
// so that the state written holds what the caller set last. Not every
// processor takes them there (zam-plugins read parameter changes only with
// samples to process), and a bypassed one cannot be handed any: so the
// queued values are noted before, and after the load-back has set the
// plug-in to the file's values they are given again, to the controller and
// queued for the processor. Nothing the caller set is lost; for a processor
// that took them it changes nothing. On the UI thread (runOnUiThread), under
// the caller's hold on the instance.
bool storeOnUiThread(PluginInstance& instance, const char* path)
{
    HostedPlugin& plugin = instance.plugin;
    PresetManager manager(plugin.provider());
    if (!manager.hasPlugin())
        return false;

    // Bypass and activation stay as they are for the whole store.
    ScopedLock control(plugin.controlLock);
    std::vector<std::pair<Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue>> waiting;
    {
        // Read while no block takes them.
        ScopedLock guard(plugin.lock);
        plugin.paramTransfer->forEachUnread([&](auto id, auto value) { waiting.emplace_back(id, value); });
    }
    deliverQueuedEdits(instance);

    if (!manager.writePreset(path))
        return false;
    manager.loadPreset(path, [&] { supersedeQueuedEdits(plugin); });
    for (const auto& [id, value] : waiting) {
        manager.setControllerValue(id, value);
        plugin.paramTransfer->addChange(id, value, 0);
    }
    return true;
}

// The recall itself, on the UI thread (runOnUiThread), under the caller's
// hold on the instance.
bool recallOnUiThread(PluginInstance& instance, const char* path)
{
    HostedPlugin& plugin = instance.plugin;
    PresetManager manager(plugin.provider());
    if (!manager.hasPlugin())
        return false;
    // Not while bypass or the detach switch the plug-in.
    ScopedLock control(plugin.controlLock);
    const Steinberg::tresult result = manager.loadPreset(path, [&] { supersedeQueuedEdits(plugin); });
    return result == Steinberg::kResultOk || result == Steinberg::kNotImplemented;
}

} // namespace

bool storePresetFor(std::uint32_t handle, const char* path)
{
    if (handle == 0 || !path)
        return false;
    InstanceHold hold(handle);
    PluginInstance* const instance = hold.get();
    if (!instance || BlockScope::inside(instance))
        return false;
    bool stored = false;
    runOnUiThread([&] { stored = storeOnUiThread(*instance, path); });
    return stored;
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

    InstanceHold hold(handle);
    PluginInstance* const instance = hold.get();
    // From inside the plug-in's own process call: refused.
    if (!instance || BlockScope::inside(instance))
        return false;
    bool recalled = false;
    runOnUiThread([&] { recalled = recallOnUiThread(*instance, buffer); });
    return recalled;
}

} // namespace talven
