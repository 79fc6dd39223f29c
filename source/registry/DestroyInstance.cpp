#include "registry/DestroyInstance.h"

#include "editor/EditorHosting.h"
#include "host/ProcessingSetup.h"
#include "registry/BassApi.h"
#include "registry/Registry.h"

#include <memory>

namespace talven {

void destroyInstance(PluginInstance* record)
{
    std::unique_ptr<PluginInstance> owned(record);
    const std::uint32_t channel = record->channel.load();
    // BASS's results are not looked at: the record goes regardless. After BASS
    // freed the channel, channel is 0 and BASS is not called at all.
    if (channel != 0 && record->syncHandle != 0)
        BASS_ChannelRemoveSync(channel, record->syncHandle);
    const std::uint32_t dsp = record->dspHandle.load();
    if (channel != 0 && dsp != 0)
        BASS_ChannelRemoveDSP(channel, dsp);
    noteDeferredRelease(record->moduleHandle);
    // A plug-in still here was not detached (its channel was freed, or its
    // attach failed late) and may be active: VST 3 wants it switched off
    // before it is terminated. No other operation holds the record now.
    PluginCode code;
    code.provider = record->plugProvider;
    record->plugProvider = nullptr;
    if (code.provider && record->active.exchange(false))
        switchOffProcessing(*code.provider);
    // An editor still open (the channel was freed while it showed) is closed
    // before the plug-in goes: its view must leave the window while the
    // plug-in's code is loaded. A window of another thread takes the close
    // and the plug-in's code along to that thread (its view can leave it only
    // there); otherwise this releases the window controller, then the window.
    code.module = std::move(record->module);
    code.handler = std::move(record->componentHandler);
    closeEditorForGood(*record, code);
    // The provider terminates the plug-in, whose code lives in the module;
    // the handler goes last, since the plug-in's controller may call it.
    code.provider = nullptr;
    code.module.reset();
    record->inputChanges.reset();
    record->outputChanges.reset();
    record->paramTransfer.reset();
    code.handler = nullptr;
}

} // namespace talven
