#include "instance/PluginInstance.h"

#include "editor/EditorHosting.h"
#include "host/ProcessingSetup.h"
#include "log/TraceLog.h"
#include "registry/BassApi.h"
#include "registry/Registry.h"

#include <memory>
#include <new>
#include <utility>

namespace talven {

PluginInstance::PluginInstance() : blocks(this, plugin.paramTransfer, outputs) {}

PluginInstance::~PluginInstance() = default;

PluginInstance* createHandle()
{
    writeTraceLine("createHandle start");
    std::unique_ptr<PluginInstance> record;
    try {
        record.reset(new PluginInstance);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    writeTraceLine("malloc creation");
    writeTraceLine("EnterCriticalSection before");
    record->holds = 1; // complete before any other thread can find it
    if (!registerHandle(*record))
        return nullptr; // never registered: simply freed
    writeTraceLine("createHandle end");
    return record.release();
}

PluginInstance* refInstance(std::uint32_t handle)
{
    HandleRecord* const found = refHandle(handle);
    auto* const instance = dynamic_cast<PluginInstance*>(found);
    if (found && !instance)
        unrefHandle(handle);
    return instance;
}

// An instrument's stream renders through the library's own stream function,
// which BASS cannot be told to drop: the stream is freed (its handle then
// fails cleanly), without the free sync, which would start a teardown here.
void PluginInstance::takeCallbacksOffBass() noexcept
{
    const std::uint32_t channelNow = channel.load();
    if (channelNow == 0)
        return; // the channel's free took them along
    {
        ScopedLock control(plugin.controlLock);
        if (sidechain)
            sidechain->disconnect();
    }
    if (syncHandle != 0)
        BASS_ChannelRemoveSync(channelNow, std::exchange(syncHandle, 0));
    if (instrumentStream)
        BASS_StreamFree(channelNow);
    else if (const std::uint32_t dsp = dspHandle.exchange(0))
        BASS_ChannelRemoveDSP(channelNow, dsp);
}

// Tears the record down once its last hold is gone: takes its callbacks off
// the channel, owes the deferred module release, switches a plug-in still
// here off, closes its editor and releases the plug-in, then frees the
// record. Runs on the thread that released the last hold, outside every lock.
void PluginInstance::destroy() noexcept
{
    std::unique_ptr<PluginInstance> owned(this);
    const std::uint32_t channelNow = channel.load();
    // BASS's results are not looked at: the record goes regardless. After BASS
    // freed the channel, channel is 0 and BASS is not called at all.
    if (channelNow != 0 && syncHandle != 0)
        BASS_ChannelRemoveSync(channelNow, syncHandle);
    const std::uint32_t dsp = dspHandle.load();
    if (channelNow != 0 && dsp != 0)
        BASS_ChannelRemoveDSP(channelNow, dsp);
    // The side-chain's DSP and sync go with the plug-in (no block of it runs
    // any more: its own DSP is off, or its channel is gone).
    sidechain.reset();
    noteDeferredRelease(moduleHandle);
    plugin.reports->close();
    try {
        // A plug-in still here was not detached (its channel was freed, or its
        // attach failed late) and may be active: VST 3 wants it switched off
        // before it is terminated. No other operation holds the record now.
        PluginCode code;
        {
            ScopedLock control(plugin.controlLock);
            code.provider = plugin.exchangeProvider(nullptr);
            if (code.provider)
                switchOffProcessing(plugin, *code.provider);
        }
        blocks.release();
        // An editor still open (the channel was freed while it showed) is
        // closed before the plug-in goes: its view must leave the window while
        // the plug-in's code is loaded. A window of another thread takes the
        // close and the plug-in's code along to that thread (its view can
        // leave it only there); otherwise this releases the window controller,
        // then the window.
        code.module = std::move(plugin.module);
        code.handler = plugin.componentHandler;
        closeEditorForGood(editor, code);
        // The provider terminates the plug-in, whose code lives in the module;
        // the handler goes last, since the plug-in's controller may call it.
        code.provider = nullptr;
        code.module.reset();
        code.handler = nullptr;
    } catch (...) {
        // Only allocation can fail here; what is left goes with the record.
    }
}

} // namespace talven
