#pragma once

#include "editor/EditorSlot.h"
#include "events/MidiInput.h"
#include "host/HostedPlugin.h"
#include "instance/BlockProcessor.h"
#include "instance/OutputParameters.h"
#include "instance/SidechainFeed.h"
#include "instance/Transport.h"
#include "presets/PresetMetaInfo.h"
#include "registry/HandleRecord.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace talven {

// One plug-in attached to one BASS channel: the record behind an instance
// handle. Callers never see it; they hold its handle, and the library's
// functions reach the record with a hold (InstanceHold). BASS's DSP reaches it
// directly: the attachment's own hold keeps it alive for as long as the DSP
// is set, since the DSP is taken off the channel (which waits for a block in
// progress) before that hold is released, or, when the channel is being
// freed, the channel-freed sync (which runs after the last block) releases
// the last hold.
class PluginInstance final : public HandleRecord {
public:
    // May throw std::bad_alloc.
    PluginInstance();

    // ---- the channel, set by the attach
    // Cleared by the channel-freed sync, without a lock.
    std::atomic<std::uint32_t> channel{0};
    std::atomic<std::uint32_t> dspHandle{0};
    std::uint32_t syncHandle = 0;
    // Interleaved channels of every block; fixed at attach.
    std::int32_t channelCount = 0;
    // Bytes of one frame in the channel's own sample format (its positions
    // count those, whatever its DSP is given).
    std::int32_t bytesPerFrame = 0;
    // The channel carries float samples itself; otherwise its DSP data is
    // float only while BASS's float DSP is on.
    bool floatChannel = false;
    // True while the attachment's own hold is still owed. Whichever of the
    // detach and the channel-freed sync claims it takes the instance down;
    // the other finds it clear.
    std::atomic<bool> attached{false};
    // A detach that cannot take the DSP off because BASS is freeing the
    // channel (the free waits for a block in progress, possibly inside this
    // record's DSP) keeps one more hold for the channel-freed sync to release,
    // since that sync runs only once the block is over. Each side sets its
    // flag, then looks at the other's: exactly one releases that hold.
    std::atomic<bool> freeSyncRan{false};
    std::atomic<bool> freeSyncOwesRelease{false};
    // The side-chain feeding the plug-in's first auxiliary input bus, or none.
    // Changed under plugin.controlLock, while blocks pass dry; the block
    // processor reads it through the pointer prepare gave it.
    std::unique_ptr<SidechainFeed> sidechain;
    // The auxiliary bus was activated for a side-chain. Under controlLock.
    bool sidechainBusActive = false;
    // The plug-in's event input, made the first time its processing is
    // prepared with an event bus and kept until the record goes; senders
    // find it through midi (null: the plug-in takes no events).
    std::unique_ptr<MidiInput> midiInput;
    std::atomic<MidiInput*> midi{nullptr};
    // The channel is a stream this instance renders (an instrument): freeing
    // the stream releases the instance, and the blocks count its frames.
    bool instrumentStream = false;
    // Frames the instrument's stream has rendered. Audio thread.
    std::uint64_t streamFrames = 0;
    // Module whose release is deferred at destruction. Module lifetime belongs
    // to the plug-in module object, so nothing sets it.
    void* moduleHandle = nullptr;

    // ---- the plug-in, its blocks and its editor
    HostedPlugin plugin;
    // What the processor reports back, for the controller; before blocks,
    // which stores into it.
    OutputParameters outputs;
    BlockProcessor blocks;
    // Tempo and time signature for the process context of every block.
    Transport transport;
    EditorSlot editor;
    // The "Info" chunk of the preset last recalled, which the stores that
    // follow write again. Read and written under plugin.controlLock.
    PresetMetaInfo presetMetaInfo;

    void takeCallbacksOffBass() noexcept override;

private:
    // Deleted only by destroy(), and by createHandle for a record that was
    // never registered.
    friend struct std::default_delete<PluginInstance>;
    ~PluginInstance() override;
    // The destruction: see PluginInstance.cpp.
    void destroy() noexcept override;
};

// A new record with one hold, registered under the next handle number, or
// null when that number is still held by a live record. Writes the creation
// trace lines. Caller's thread.
PluginInstance* createHandle();

// The record under handle with one more hold, or null (none, or not an
// instance). Any thread.
PluginInstance* refInstance(std::uint32_t handle);

} // namespace talven
