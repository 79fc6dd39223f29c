#include "instance/BassCallbacks.h"

#include "instance/Attachment.h"
#include "instance/InstanceHold.h"
#include "editor/EditorHosting.h"
#include "log/TraceLog.h"
#include "platform/ProcessEnd.h"
#include "platform/ThreadRole.h"

#include <cstring>
#include <memory>

namespace talven {
namespace {

enum class Outcome { processed, bypassed, restarting, noProvider, noProcessor, processFailed };

// The block's first frame in the channel's decoded stream. Inside the DSP,
// BASS's decoding position stands after the block; it counts the channel's
// own bytes. Negative when BASS cannot tell.
std::int64_t firstFrameOf(const PluginInstance& instance, std::int32_t frames)
{
    const QWORD position = BASS_ChannelGetPosition(instance.channel.load(), BASS_POS_BYTE | BASS_POS_DECODE);
    if (position == static_cast<QWORD>(-1) || instance.bytesPerFrame <= 0)
        return -1;
    const auto after = static_cast<std::int64_t>(position / static_cast<QWORD>(instance.bytesPerFrame));
    return after >= frames ? after - frames : 0;
}

BlockTiming timingOf(const PluginInstance& instance, std::int32_t frames)
{
    BlockTiming timing;
    timing.sampleRate = instance.plugin.sampleRate;
    // An instrument's stream is where its frames come from: it counts them,
    // this block's included.
    timing.firstFrame = instance.instrumentStream ? static_cast<std::int64_t>(instance.streamFrames) - frames
                                                  : firstFrameOf(instance, frames);
    const Transport::Setting transport = instance.transport.get();
    timing.tempo = transport.tempo;
    timing.numerator = transport.numerator;
    timing.denominator = transport.denominator;
    timing.activation = instance.plugin.activations.load(std::memory_order_relaxed);
    return timing;
}

// The part of a block that runs under the instance lock: a switch, a detach
// or a state load waits for it, and one that ran before it finds its effect.
Outcome processUnderLock(PluginInstance& instance, float* block, std::int32_t frames)
{
    HostedPlugin& plugin = instance.plugin;
    // Asked before the lock: BASS takes its own lock for the position.
    const BlockTiming timing = timingOf(instance, frames);
    ScopedLock guard(plugin.lock);
    // The bypass was read without the lock; a switch-on may have run while
    // this block waited for it, and a deactivated plug-in must not be asked
    // to process.
    if (plugin.bypass.load() != 0)
        return Outcome::bypassed;
    // A restart is setting the plug-in up again: the block passes dry.
    if (plugin.restarting.load())
        return Outcome::restarting;
    if (!plugin.hasProvider())
        return Outcome::noProvider;
    if (!plugin.processing.load() || !instance.blocks.prepared())
        return Outcome::noProcessor;
    return instance.blocks.process(block, frames, timing) ? Outcome::processed : Outcome::processFailed;
}

} // namespace

bool processAudio(PluginInstance& instance, float* block, DWORD length) noexcept
{
    if (instance.plugin.bypass.load(std::memory_order_acquire) != 0) {
        // Events sent meanwhile would otherwise fill the queue and all play
        // at once when the plug-in is switched back on.
        if (MidiInput* const midi = instance.midi.load(std::memory_order_acquire))
            midi->discard();
        return false;
    }
    // An integer channel's data is float only while float DSP is on: a block
    // arriving after it was switched off holds 8- or 16-bit samples.
    if (!instance.floatChannel && !floatDspOn())
        return false;
    const auto channels = static_cast<DWORD>(instance.channelCount);
    if (channels == 0)
        return false;
    const DWORD frames = length / channels / sizeof(float);
    if (frames == 0)
        return false;

    // Once the process has begun to end, the plug-in's code may be going.
    const PluginBlockGate gate;
    if (!gate.open())
        return false;
    writeTraceLine("processAudio: start>>>");
    Outcome outcome = Outcome::noProcessor;
    try {
        outcome = processUnderLock(instance, block, static_cast<std::int32_t>(frames));
    } catch (...) {
        // Only more edited parameters than the queues made in advance
        // allocate; the block stays dry.
        outcome = Outcome::processFailed;
    }
    // Edits the plug-in reported from inside the block reach the program now,
    // with the instance lock released. The callback may detach the plug-in or
    // free the channel: the reports stay alive to the end of the delivery,
    // and the record is not touched after it (its teardown waits for a
    // thread that may block, since this is the audio thread).
    if (instance.plugin.reports->anyDeferred()) {
        const std::shared_ptr<ParameterReports> reports = instance.plugin.reports;
        reports->deliverDeferred();
    }
    switch (outcome) {
    case Outcome::processed:
        writeTraceLine("processAudio: end<<<");
        return true;
    case Outcome::bypassed:
    case Outcome::restarting:
        return false;
    case Outcome::noProvider:
        writeTraceLine("processAudio: plugProvider problem");
        return false;
    case Outcome::noProcessor:
        writeTraceLine("processAudio: processor problem");
        return false;
    case Outcome::processFailed:
        writeTraceLine("processAudio: process failed");
        return false;
    }
    return false;
}

void CALLBACK dspCallback(HDSP, DWORD, void* buffer, DWORD length, void* user)
{
    if (!user || !buffer)
        return;
    const AudioWorkScope audioThread;
    processAudio(*static_cast<PluginInstance*>(user), static_cast<float*>(buffer), length);
}

DWORD CALLBACK instrumentStreamProc(HSTREAM, void* buffer, DWORD length, void* user)
{
    if (!user || !buffer)
        return 0;
    std::memset(buffer, 0, length);
    auto& instance = *static_cast<PluginInstance*>(user);
    // Counted first: the program's callbacks after the block may free the
    // stream, and the record is not touched after processAudio.
    instance.streamFrames += length / sizeof(float) / static_cast<DWORD>(instance.channelCount);
    const AudioWorkScope audioThread;
    processAudio(instance, static_cast<float*>(buffer), length);
    return length;
}

void CALLBACK syncCallback(HSYNC, DWORD, DWORD, void* user)
{
    const std::uint32_t handle = handleOfUserValue(user);
    if (handle == 0)
        return;
    InstanceHold hold(handle);
    PluginInstance* record = hold.get();
    if (!record)
        return;
    record->freeSyncRan.store(true);
    // Every later BASS call with the channel would fail: forget it, so that
    // neither the detach nor the destruction makes one. No lock: a block in
    // progress has finished before BASS reports the free, and the plug-in is
    // switched off when the instance goes.
    record->plugin.processing = false;
    record->channel = 0;
    record->dspHandle = 0;
    // The program's parameter callback is not called once the free returned.
    if (record->attached.load())
        record->plugin.reports->close();
    // Freed on the audio thread (from a callback of the block), the record's
    // teardown and its editor's close wait for another thread: the position
    // callback must not hear of them after the free returned.
    if (AudioWorkScope::active())
        silenceEditor(record->editor);
    releaseAttachment(*record);
    // A detach that met this free in progress left the last release here.
    if (record->freeSyncOwesRelease.exchange(false))
        unrefHandle(handle);
}

} // namespace talven
