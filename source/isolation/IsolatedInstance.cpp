#include "isolation/IsolatedInstance.h"

#include "instance/Attachment.h"
#include "instance/BassCallbacks.h"
#include "isolation/HostProgram.h"
#include "registry/BassApi.h"
#include "registry/Registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace talven {
namespace {

// Frames of the shared block: a longer BASS block goes over in parts.
constexpr std::uint32_t kExchangeFrames = 8192;
constexpr std::uint32_t kMaxChannels = 32;
// The process counts as crashed once it has missed this many blocks in a
// row and this much audio: a busy machine may hold a process up for a few
// short blocks, a plug-in that stopped answering misses them all. The
// missed blocks play dry and cost no wait either way.
constexpr std::uint32_t kLateBlocksBeforeCrash = 16;
constexpr std::uint64_t kLateFramesBeforeCrashPerHz = 2; // two seconds of audio
// Loading a plug-in takes its time (a JUCE plug-in: about a second).
constexpr std::chrono::seconds kAttachTimeout{30};
// The process's own detach: its plug-in switched off and released.
constexpr std::chrono::seconds kDetachGrace{5};

// A machine too slow (a sanitizer build, a debugger) to turn short blocks
// round in their own duration can give the process longer:
// TALVEN_ISOLATED_MIN_WAIT_MS.
std::uint32_t minimumWaitMicroseconds()
{
    const char* text = std::getenv("TALVEN_ISOLATED_MIN_WAIT_MS");
    const long ms = text ? std::strtol(text, nullptr, 10) : 0;
    return ms > 0 && ms < 600000 ? static_cast<std::uint32_t>(ms * 1000) : 0;
}

IsolatedInstance* refIsolated(std::uint32_t handle)
{
    HandleRecord* const found = refHandle(handle);
    auto* const isolated = dynamic_cast<IsolatedInstance*>(found);
    if (found && !isolated)
        unrefHandle(handle);
    return isolated && isolated->handle == handle ? isolated : nullptr;
}

// The block went back unprocessed: counted, and a process that misses too
// many in a row is ended (the reader then reports it crashed).
void missedBlock(IsolatedInstance& record, std::uint32_t frames)
{
    record.lateBlocks.fetch_add(1, std::memory_order_relaxed);
    ++record.lateInRow;
    record.lateFramesInRow += frames;
    if (record.lateInRow >= kLateBlocksBeforeCrash
        && record.lateFramesInRow >= kLateFramesBeforeCrashPerHz * record.rate && !record.gaveUp) {
        record.gaveUp = true;
        record.link->giveUp();
    }
}

// BASS's DSP thread. user: the record, alive while the DSP is set.
void CALLBACK isolatedDsp(HDSP, DWORD, void* buffer, DWORD length, void* user)
{
    auto& record = *static_cast<IsolatedInstance*>(user);
    IsolatedLink& link = *record.link;
    if (link.status() != TALVEN_STATUS_RUNNING || (!record.floatChannel && !floatDspOn()))
        return;
    BlockExchange& exchange = link.exchange();
    auto* samples = static_cast<float*>(buffer);
    std::uint32_t frames = length / (record.channelCount * sizeof(float));
    while (frames > 0) {
        const std::uint32_t part = std::min(frames, kExchangeFrames);
        const std::size_t count = std::size_t{part} * record.channelCount;
        if (!exchange.idle()) {
            missedBlock(record, frames);
            return;
        }
        std::memcpy(exchange.channel(0), samples, count * sizeof(float));
        const auto duration = std::chrono::microseconds(std::uint64_t{part} * 1000000 / record.rate);
        const auto bound = std::max(duration, std::chrono::microseconds(record.minimumWaitMicroseconds));
        switch (exchange.process(part, bound)) {
        case BlockExchange::Result::Answered:
            std::memcpy(samples, exchange.channel(0), count * sizeof(float));
            record.lateInRow = 0;
            record.lateFramesInRow = 0;
            break;
        case BlockExchange::Result::Closed:
            return;
        default:
            missedBlock(record, frames);
            return;
        }
        samples += count;
        frames -= part;
    }
}

// The process ended and the attachment's hold given up.
void finish(IsolatedInstance& record)
{
    record.link->close(kDetachGrace);
    unrefHandle(record.handle);
}

// Takes the attachment down once: DSP and sync off the channel, then the
// process ended and the attachment's hold given up; left to the
// channel-freed sync when the channel's free holds the DSP (lingering).
int takeDown(IsolatedInstance& record, bool fromFreeSync)
{
    if (!record.attached.exchange(false))
        return 0;
    const std::uint32_t channel = record.channel.exchange(0);
    const std::uint32_t dsp = record.dspHandle.exchange(0);
    const std::uint32_t sync = record.syncHandle.exchange(0);
    if (!fromFreeSync && channel != 0) {
        // BASS waits for a block in progress in the DSP, and refuses while
        // it frees the channel: its sync comes after the last block.
        if (dsp != 0 && !BASS_ChannelRemoveDSP(channel, dsp)) {
            record.link->silence();
            record.lingering = true;
            if (record.freeSyncRan.load() && record.lingering.exchange(false))
                finish(record);
            return 1;
        }
        if (sync != 0)
            BASS_ChannelRemoveSync(channel, sync);
    }
    finish(record);
    return 1;
}

// The channel is gone: after its last block, on the freeing thread.
void CALLBACK isolatedFreeSync(HSYNC, DWORD, DWORD, void* user)
{
    const std::uint32_t handle = handleOfUserValue(user);
    IsolatedInstance* record = refIsolated(handle);
    if (!record)
        return;
    record->freeSyncRan = true;
    if (!takeDown(*record, true) && record->lingering.exchange(false))
        finish(*record);
    unrefHandle(handle);
}

} // namespace

void IsolatedInstance::takeCallbacksOffBass() noexcept
{
    const std::uint32_t channelNow = channel.load();
    if (channelNow == 0)
        return;
    if (const std::uint32_t sync = syncHandle.exchange(0))
        BASS_ChannelRemoveSync(channelNow, sync);
    if (const std::uint32_t dsp = dspHandle.exchange(0))
        BASS_ChannelRemoveDSP(channelNow, dsp);
}

void IsolatedInstance::destroy() noexcept
{
    std::unique_ptr<IsolatedInstance> owned(this);
    if (link)
        link->close(kDetachGrace);
}

std::shared_ptr<IsolatedLink> isolatedLinkOf(std::uint32_t handle, bool lingeringToo)
{
    IsolatedInstance* record = refIsolated(handle);
    if (!record)
        return nullptr;
    const bool open = record->attached.load() || (lingeringToo && record->lingering.load());
    std::shared_ptr<IsolatedLink> link = open ? record->link : nullptr;
    unrefHandle(handle);
    return link;
}

int detachIsolated(std::uint32_t handle)
{
    IsolatedInstance* record = refIsolated(handle);
    if (!record) {
        HandleRecord* other = refHandle(handle);
        if (!other)
            return 0;
        unrefHandle(handle);
        return -1;
    }
    const int taken = takeDown(*record, false);
    unrefHandle(handle);
    return taken;
}

std::uint32_t attachIsolated(std::uint32_t channel, const char* path, const AttachOptions& options)
{
    BASS_CHANNELINFO info{};
    if (!BASS_ChannelGetInfo(channel, &info) || info.chans == 0 || info.chans > kMaxChannels || info.freq == 0)
        return 0;
    const bool floatChannel = (info.flags & BASS_SAMPLE_FLOAT) != 0;
    if (!floatChannel && !floatDspOn())
        return 0;
    const std::string hostPath = hostProgramPath();
    keepLibraryLoadedForIsolation();
    auto exchange = BlockExchange::create(info.chans, kExchangeFrames);
    ControlPipe::Pair pipes = ControlPipe::create();
    if (hostPath.empty() || !exchange || !pipes.own)
        return 0;
    std::uint64_t exchangeHandles[BlockExchange::kMaxInherited];
    std::vector<std::uint64_t> inherited(exchangeHandles, exchangeHandles + exchange->inheritedHandles(exchangeHandles));
    for (std::uint64_t handle : pipes.child->inheritedHandles())
        inherited.push_back(handle);
    auto process =
        HostProcess::start(hostPath, {exchange->token(), pipes.child->token()}, inherited, hostLibraryFolders());
    // The child's ends are the child's alone now: its end closes the pipe.
    pipes.child.reset();
    if (!process)
        return 0;

    std::unique_ptr<IsolatedInstance> made(new IsolatedInstance);
    made->holds = 1;
    if (!registerHandle(*made))
        return 0; // the process ends with its pipe
    IsolatedInstance* record = made.release();
    const std::uint32_t handle = record->handle;
    record->channelCount = info.chans;
    record->rate = info.freq;
    record->floatChannel = floatChannel;
    record->minimumWaitMicroseconds = minimumWaitMicroseconds();
    record->link = std::make_shared<IsolatedLink>(handle, std::move(exchange), std::move(pipes.own), std::move(process));
    record->link->setPositionCallback(options.positionCallback);
    record->link->start();
    record->attached = true;

    MessageWriter attach(record->link->nextSequence(), ControlOp::attach);
    attach.u32(info.freq).u32(info.chans).text(path).text(options.classId).i32(options.showEditor)
        .i32(options.editorX).i32(options.editorY).text(options.title).i32(options.positionCallback ? 1 : 0);
    std::unique_ptr<MessageReader> answer = record->link->call(attach, kAttachTimeout);
    const bool loaded = answer && answer->u32() != 0 && answer->ok();
    if (loaded) {
        record->channel = channel;
        record->syncHandle = BASS_ChannelSetSync(channel, BASS_SYNC_FREE, 0, isolatedFreeSync, userValueOf(handle));
        if (record->syncHandle != 0)
            record->dspHandle = BASS_ChannelSetDSP(channel, isolatedDsp, record, options.priority);
    }
    if (!loaded || record->dspHandle == 0) {
        takeDown(*record, false);
        return 0;
    }
    return handle;
}

} // namespace talven
