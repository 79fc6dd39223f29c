#include "registry/Attachment.h"

#include "editor/EditorHosting.h"
#include "editor/EditorWindowFactory.h"
#include "host/EditorStep.h"
#include "host/HostContext.h"
#include "host/Instantiation.h"
#include "host/ProcessingSetup.h"
#include "host/ProviderAccess.h"
#include "log/TraceLog.h"
#include "platform/BlockScope.h"
#include "registry/BassCallbacks.h"
#include "registry/RecordHold.h"

#include <string>

namespace talven {
namespace {

// Takes the DSP off the channel. BASS waits for a block in progress on
// another thread, so afterwards no dspCallback holds the record and the last
// hold is released on this thread, not on BASS's: destruction (plug-in
// termination, module unload, idle timer) never runs on the audio thread.
// Never called with a lock the DSP takes.
void takeDspOffChannel(PluginInstance& record)
{
    const std::uint32_t dsp = record.dspHandle.exchange(0);
    const std::uint32_t channel = record.channel.load();
    if (channel != 0 && dsp != 0)
        BASS_ChannelRemoveDSP(channel, dsp);
}

// Takes the plug-in out of the instance and switches it off: processing off,
// component inactive (only when active: after a bypass it is not), under the
// control lock. Taking the provider under the instance lock waits for a block
// in progress, and no later block finds a plug-in. Then the editor closes
// and the plug-in is released with no lock held, since closing calls the
// program's position callback, which may re-enter any export. The view
// leaves its window before the plug-in is terminated.
void switchOffAndRelease(PluginInstance& record)
{
    PluginCode code;
    {
        ScopedLock control(record.controlLock);
        {
            ScopedLock guard(record.lock);
            record.processing = false;
            code.provider = exchangePlugProvider(record, nullptr);
        }
        if (code.provider && record.active.exchange(false))
            switchOffProcessing(*code.provider);
    }
    // A window of another thread takes the close and the plug-in's code along
    // (its view can leave it only there): the provider, a share of the module
    // and the handler the controller may still call.
    code.module = record.module;
    code.handler = record.componentHandler;
    closeEditorForGood(record, code);
}

// Owns the attachment hold until the attach succeeds; a failed attach gives
// it up, after taking off whatever it set on the channel. The destruction
// that follows switches the plug-in off.
class PendingAttachment {
public:
    explicit PendingAttachment(PluginInstance& record) : record_(record) { record_.attached = true; }
    ~PendingAttachment()
    {
        if (committed_)
            return;
        record_.processing = false;
        takeDspOffChannel(record_);
        releaseAttachment(record_);
    }
    PendingAttachment(const PendingAttachment&) = delete;
    PendingAttachment& operator=(const PendingAttachment&) = delete;

    void commit() { committed_ = true; }

private:
    PluginInstance& record_;
    bool committed_ = false;
};

} // namespace

bool releaseAttachment(PluginInstance& record)
{
    if (!record.attached.exchange(false))
        return false;
    unrefHandle(record.handle);
    return true;
}

std::uint32_t attachPlugin(std::uint32_t channel, const char* path, const AttachOptions& options)
{
    releaseAbandonedEditors();
    const std::string pathCopy = path ? path : "";
    const std::string titleCopy = options.title ? options.title : "";
    setGlobalPluginContext();
    writeTraceLine("TALVEN_ChannelSetDSPEx start");
    // A DSP gets float data only on a float channel or with BASS's float DSP
    // on; BASS's default streams are 16-bit, and their samples read as floats
    // would be loud noise. Refused before anything is made.
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(channel, &info);
    const bool floatChannel = (info.flags & BASS_SAMPLE_FLOAT) != 0;
    if (!floatChannel && !floatDspOn())
        return 0;

    PluginInstance* created = createHandle();
    if (!created)
        return 0;
    const std::uint32_t handle = created->handle;
    // A hold of the attach's own keeps the record alive to the end of this
    // call, even when the channel is freed on another thread meanwhile.
    RecordHold hold(handle);
    if (!hold.get()) {
        unrefHandle(handle);
        return 0;
    }
    PluginInstance& record = *hold.get();
    PendingAttachment attachment(record);
    record.channel = channel;
    record.floatChannel = floatChannel;

    if (!openPlugin(pathCopy.c_str(), handle, options.showEditor, options.editorX, options.editorY,
                    titleCopy.c_str()))
        return 0;
    setEditorPositionCallback(record, options.positionCallback);
    prepareProcessing(record, channel);

    void* user = userValueOf(handle);
    // Without its DSP the plug-in would never hear the channel: a handle
    // returned then would report success for an attach that did nothing.
    record.dspHandle = BASS_ChannelSetDSP(channel, dspCallback, user, options.priority);
    if (record.dspHandle == 0)
        return 0;
    record.syncHandle = BASS_ChannelSetSync(channel, BASS_SYNC_FREE, 0, syncCallback, user);
    if (record.syncHandle == 0)
        return 0;
    attachment.commit();
    return handle;
}

int detachPlugin(std::uint32_t handle)
{
    releaseAbandonedEditors();
    RecordHold hold(handle);
    PluginInstance* record = hold.get();
    if (!record)
        return 0;
    // From inside the plug-in's own process call the block in progress
    // could never be waited for: refused.
    if (BlockScope::inside(record))
        return 0;
    // The first detach (or the channel-freed sync) to claim the attachment
    // takes the instance down; one started meanwhile, also from a callback
    // that this detach makes, finds nothing left to do.
    if (!record->attached.exchange(false))
        return 0;
    takeDspOffChannel(*record);
    switchOffAndRelease(*record);
    {
        ScopedLock guard(record->lock);
        record->channelBuffers.reset();
        record->processData.reset();
    }
    unrefHandle(handle); // the attachment's hold
    return 1;
}

std::uint32_t readBypass(std::uint32_t handle)
{
    RecordHold hold(handle);
    PluginInstance* record = hold.get();
    if (!record)
        return 0;
    ScopedLock guard(record->lock);
    return record->bypass.load();
}

} // namespace talven
