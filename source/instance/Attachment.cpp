#include "instance/Attachment.h"

#include "editor/EditorHosting.h"
#include "editor/EditorWindowFactory.h"
#include "editor/PluginDisplay.h"
#include "host/HostContext.h"
#include "host/Instantiation.h"
#include "host/ProcessingSetup.h"
#include "platform/ReportScope.h"
#include "instance/BassCallbacks.h"
#include "instance/BusPreparation.h"
#include "instance/EditorCalls.h"
#include "instance/InstanceHold.h"
#include "instance/InstanceService.h"
#include "log/TraceLog.h"
#include "platform/BlockScope.h"
#include "platform/ThreadRole.h"
#include "registry/DeferredTeardown.h"

#include <new>
#include <string>

namespace talven {
namespace {

// Takes the DSP off the channel. BASS waits for a block in progress on
// another thread, so afterwards no block of this instance runs or follows,
// and the last hold is released on this thread, not on BASS's: destruction
// (plug-in termination, module unload, idle timer) never runs on the audio
// thread. Never called with a lock the DSP takes.
// True when no DSP call can be in progress or to come any more: nothing was
// set, the channel-freed sync has run, or BASS took the DSP off (waiting for
// a call in progress). False when BASS refused: it is freeing the channel,
// and a block of it may still be inside this record's DSP.
bool takeDspOffChannel(PluginInstance& record)
{
    const std::uint32_t dsp = record.dspHandle.exchange(0);
    const std::uint32_t channel = record.channel.load();
    if (channel == 0 || dsp == 0)
        return true;
    return BASS_ChannelRemoveDSP(channel, dsp) != 0;
}

// The record must outlive the block BASS may still be running: one more hold,
// which the channel-freed sync releases after that block (or this releases
// now, if the sync ran meanwhile).
void leaveLastReleaseToFreeSync(PluginInstance& record)
{
    if (!refHandle(record.handle))
        return;
    record.freeSyncOwesRelease.store(true);
    if (record.freeSyncRan.load() && record.freeSyncOwesRelease.exchange(false))
        unrefHandle(record.handle);
}

// Takes the plug-in out of the instance and switches it off: processing off,
// component inactive (only when active: after a bypass it is not), under the
// control lock. Taking the provider under the instance lock waits for a block
// in progress, and no later block finds a plug-in. Then the editor closes and
// the plug-in is released with no lock held, since closing calls the
// program's position callback, which may re-enter any export. The view
// leaves its window before the plug-in is terminated.
void switchOffAndRelease(PluginInstance& record)
{
    HostedPlugin& plugin = record.plugin;
    PluginCode code;
    {
        ScopedLock control(plugin.controlLock);
        {
            ScopedLock guard(plugin.lock);
            plugin.processing = false;
            code.provider = plugin.exchangeProvider(nullptr);
            record.blocks.release();
        }
        if (code.provider)
            switchOffProcessing(plugin, *code.provider);
    }
    // A window of another thread takes the close and the plug-in's code along
    // (its view can leave it only there): the provider, a share of the module
    // and the handler the controller may still call.
    code.module = plugin.module;
    code.handler = plugin.componentHandler;
    closeEditorForGood(record.editor, code);
}

// The processing set-up of a new instance, before its DSP is set: the buses
// negotiated and activated for the channel's layout, the block processor for
// what the plug-in took, then the plug-in told the rate, the sample size and
// the longest block, and switched on. When the plug-in refuses a step,
// processing stays off and every block passes dry. False only for a plug-in
// whose buses offer nothing to process the channel with: the attach refuses
// it.
bool prepareProcessing(PluginInstance& record, const BASS_CHANNELINFO& info)
{
    HostedPlugin& plugin = record.plugin;
    ScopedLock control(plugin.controlLock);
    const Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider = plugin.provider();
    if (!provider)
        return true;
    Steinberg::IPtr<Steinberg::Vst::IComponent> component = Steinberg::owned(provider->getComponent());
    if (!component)
        return true;
    const Preparation prepared = prepareBusesAndBlocks(record, *component);
    if (prepared == Preparation::unusable)
        return false;
    if (prepared == Preparation::ready)
        startProcessing(plugin, static_cast<double>(info.freq), BlockProcessor::kMaxFrames,
                        record.blocks.sampleSize());
    return true;
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
        record_.plugin.processing = false;
        // Nothing can be in the DSP: the attach sets it last.
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

// What an editor of the new instance needs from every attach, an
// instrument's stream included: while one is shown its thread hands the
// controller what the processor reported (meters) and carries out requested
// restarts, by handle, since a window may tick on after the instance is
// gone; and the report of the view's own resizes to the program.
void prepareEditorSlot(PluginInstance& record, std::uint32_t handle)
{
    record.editor.idleTick = [handle] {
        const ReportScope reportsAfterTick;
        InstanceHold tickHold(handle);
        if (tickHold.get())
            serviceInstance(*tickHold.get(), false);
    };
    record.editor.resizeReport = std::make_shared<ViewResizeReport>(handle);
}

} // namespace

bool releaseAttachment(PluginInstance& record)
{
    if (!record.attached.exchange(false))
        return false;
    unrefHandle(record.handle);
    return true;
}

bool openPlugin(const char* path, std::uint32_t handle, std::uint8_t showEditor, std::int32_t x,
                std::int32_t y, const char* title, const char* classId, bool instrument) noexcept
{
    InstanceHold hold(handle);
    PluginInstance* instance = hold.get();
    if (!instance)
        return false;
    try {
        {
            // Nothing else can reach the plug-in yet: its DSP is set later.
            ScopedLock guard(instance->plugin.lock);
            prepareDisplayForPlugin();
            if (!instantiatePlugin(instance->plugin, path, nullptr, classId, instrument))
                return false;
        }
        const Steinberg::Vst::ControllerReference controller = instance->plugin.controller();
        if (showEditor != 0) {
            showEditorOf(*instance, x, y, title);
            writeTraceLine("openEditor createViewAndShow true");
        }
        // The processor's reports of these parameters wait for the
        // controller in slots made now.
        if (controller) {
            const auto turn = controller.turn();
            instance->outputs.prepare(sweepParameters(*controller.get()));
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::uint32_t attachPlugin(std::uint32_t channel, const char* path, const AttachOptions& options)
{
    releaseAbandonedEditors();
    const std::string pathCopy = path ? path : "";
    const std::string titleCopy = options.title ? options.title : "";
    const std::string classIdCopy = options.classId ? options.classId : "";
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
    InstanceHold hold(handle);
    if (!hold.get()) {
        unrefHandle(handle);
        return 0;
    }
    PluginInstance& record = *hold.get();
    PendingAttachment attachment(record);
    prepareEditorSlot(record, handle);
    record.channel = channel;
    record.floatChannel = floatChannel;
    // Every block has this many channels: a BASS channel keeps its format.
    record.channelCount = static_cast<std::int32_t>(info.chans);
    const std::int32_t sampleBytes = floatChannel ? 4 : (info.flags & BASS_SAMPLE_8BITS) != 0 ? 1 : 2;
    record.bytesPerFrame = sampleBytes * record.channelCount;

    if (!openPlugin(pathCopy.c_str(), handle, options.showEditor, options.editorX, options.editorY,
                    titleCopy.c_str(), options.classId ? classIdCopy.c_str() : nullptr))
        return 0;
    setEditorPositionCallback(record.editor, options.positionCallback);
    try {
        if (!prepareProcessing(record, info))
            return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }

    // The sync first: once the DSP is set, a failure could no longer be
    // undone safely while a block runs in it and the channel is being freed.
    record.syncHandle = BASS_ChannelSetSync(channel, BASS_SYNC_FREE, 0, syncCallback, userValueOf(handle));
    if (record.syncHandle == 0)
        return 0;
    // The DSP reaches its record directly: the attachment hold keeps the
    // record alive until the DSP is off the channel again.
    record.dspHandle = BASS_ChannelSetDSP(channel, dspCallback, &record, options.priority);
    // Without its DSP the plug-in would never hear the channel: a handle
    // returned then would report success for an attach that did nothing.
    if (record.dspHandle == 0)
        return 0;
    attachment.commit();
    return handle;
}

int detachPlugin(std::uint32_t handle)
{
    releaseAbandonedEditors();
    InstanceHold hold(handle);
    PluginInstance* record = hold.get();
    if (!record)
        return 0;
    // From inside the plug-in's own process call the block in progress
    // could never be waited for: refused.
    if (BlockScope::inside(record))
        return 0;
    // The stream renders from the record: freeing it is the one way to let
    // the instrument go (its freed sync releases the attachment).
    if (record->instrumentStream) {
        const std::uint32_t stream = record->channel.load();
        return stream != 0 && BASS_StreamFree(stream) ? 1 : 0;
    }
    // The first detach (or the channel-freed sync) to claim the attachment
    // takes the instance down; one started meanwhile, also from a callback
    // that this detach makes, finds nothing left to do.
    if (!record->attached.exchange(false))
        return 0;
    // The program's parameter callback is not called once this returns.
    record->plugin.reports->close();
    if (!takeDspOffChannel(*record))
        leaveLastReleaseToFreeSync(*record);
    // From a callback on the audio thread (the parameter callback after a
    // block) the plug-in is neither switched off nor terminated there: that
    // waits, with the attachment's hold, for the next library call on a
    // thread that may block. No block reaches it any more, and its editor
    // makes no report after this returns.
    if (AudioWorkScope::active()) {
        silenceEditor(record->editor);
        PluginInstance* const detached = record;
        if (deferTeardown([detached, handle] {
                switchOffAndRelease(*detached);
                unrefHandle(handle);
            }))
            return 1;
    }
    switchOffAndRelease(*record);
    unrefHandle(handle); // the attachment's hold
    return 1;
}

std::uint32_t createInstrumentStream(std::uint32_t freq, std::uint32_t chans, const char* path,
                                     const char* classId, std::uint32_t flags, std::uint32_t* handleOut)
{
    constexpr std::uint32_t kLowestRate = 8000;
    constexpr std::uint32_t kHighestRate = 384000;
    constexpr std::uint32_t kMostChannels = 8;
    if (handleOut)
        *handleOut = 0;
    if (!path || freq < kLowestRate || freq > kHighestRate || chans < 1 || chans > kMostChannels)
        return 0;
    if (classId && !isClassIdText(classId))
        return 0;
    releaseAbandonedEditors();
    const std::string pathCopy = path;
    const std::string classIdCopy = classId ? classId : "";
    setGlobalPluginContext();

    PluginInstance* created = createHandle();
    if (!created)
        return 0;
    const std::uint32_t handle = created->handle;
    InstanceHold hold(handle);
    if (!hold.get()) {
        unrefHandle(handle);
        return 0;
    }
    PluginInstance& record = *hold.get();
    PendingAttachment attachment(record);
    prepareEditorSlot(record, handle);
    record.floatChannel = true;
    record.instrumentStream = true;
    record.channelCount = static_cast<std::int32_t>(chans);
    record.bytesPerFrame = static_cast<std::int32_t>(sizeof(float) * chans);
    if (!openPlugin(pathCopy.c_str(), handle, 0, 0, 0, "", classId ? classIdCopy.c_str() : nullptr, true))
        return 0;
    BASS_CHANNELINFO info{};
    info.freq = freq;
    info.chans = chans;
    try {
        if (!prepareProcessing(record, info) || !record.blocks.prepared())
            return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // The sample format is float whatever the flags say; what BASS makes of
    // the other flags is its own business.
    const DWORD streamFlags = (flags & ~static_cast<DWORD>(BASS_SAMPLE_8BITS)) | BASS_SAMPLE_FLOAT;
    const HSTREAM stream = BASS_StreamCreate(freq, chans, streamFlags, instrumentStreamProc, &record);
    if (stream == 0)
        return 0;
    record.channel = stream;
    record.syncHandle = BASS_ChannelSetSync(stream, BASS_SYNC_FREE, 0, syncCallback, userValueOf(handle));
    if (record.syncHandle == 0) {
        // Nothing has rendered yet: the stream is neither playing nor known
        // to the program.
        record.channel = 0;
        BASS_StreamFree(stream);
        return 0;
    }
    attachment.commit();
    if (handleOut)
        *handleOut = handle;
    return stream;
}

std::uint32_t readBypass(std::uint32_t handle)
{
    InstanceHold hold(handle);
    PluginInstance* record = hold.get();
    return record ? record->plugin.bypass.load() : 0;
}

} // namespace talven
