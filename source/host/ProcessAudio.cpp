#include "host/ProcessAudio.h"

#include "host/BusBuffers.h"
#include "log/TraceLog.h"
#include "platform/BlockScope.h"

#include <algorithm>
#include <new>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace talven {
namespace {

enum class Outcome { processed, bypassed, noProvider, noProcessor, processFailed };

// Runs every piece of the block through the processor. Nothing reaches the
// block unless every piece succeeded.
Outcome processPieces(IAudioProcessor& processor, float* block, std::int32_t frames, PluginInstance& instance)
{
    ChannelBuffers& buffers = *instance.channelBuffers;
    ProcessData& data = *instance.processData;
    data.processContext = nullptr;
    data.inputEvents = nullptr;
    data.outputEvents = nullptr;
    data.inputParameterChanges = instance.inputChanges.get();
    data.outputParameterChanges = instance.outputChanges.get();
    instance.paramTransfer->transferChangesTo(*instance.inputChanges);

    const BlockScope scope(&instance);
    for (std::int32_t first = 0; first < frames;) {
        const std::int32_t count = std::min(instance.blockSize, frames - first);
        loadBuses(data, buffers, first, count);
        data.numSamples = count;
        const tresult result = processor.process(data);
        // What the processor reports back is not passed on to the controller.
        instance.outputChanges->clearQueue();
        if (result != kResultOk) {
            // Edits not yet delivered stay queued for the next block, so that
            // processor and controller do not drift apart.
            if (first > 0)
                instance.inputChanges->clearQueue();
            return Outcome::processFailed;
        }
        instance.inputChanges->clearQueue();
        storeMainOutput(data, buffers, first, count);
        first += count;
    }
    if (hasMainOutput(data))
        buffers.interleave(block);
    return Outcome::processed;
}

Outcome processUnderLock(float* block, std::int32_t channels, std::int32_t frames, PluginInstance& instance)
{
    ScopedLock guard(instance.lock);
    // The DSP callback read bypass without the lock; a switch-on may have run
    // while this block waited for it, and a deactivated plug-in must not be
    // asked to process.
    if (instance.bypass.load() != 0)
        return Outcome::bypassed;
    if (!instance.plugProvider)
        return Outcome::noProvider;
    IPtr<IComponent> component = owned(instance.plugProvider->getComponent());
    FUnknownPtr<IAudioProcessor> processor(component);
    if (!processor || !instance.processing || !instance.processData || !instance.channelBuffers ||
        instance.blockSize <= 0)
        return Outcome::noProcessor;
    if (!prepareBusBuffers(*instance.processData, *component, instance.blockSize, chooseSampleSize(*processor)))
        return Outcome::noProcessor;
    instance.channelBuffers->prepare(channels, frames);
    instance.channelBuffers->deinterleave(block);
    return processPieces(*processor, block, frames, instance);
}

} // namespace

bool deliverQueuedEdits(PluginInstance& instance) noexcept
{
    try {
        ScopedLock guard(instance.lock);
        if (instance.bypass.load() != 0 || !instance.processing || !instance.plugProvider || !instance.processData ||
            instance.blockSize <= 0)
            return false;
        IPtr<IComponent> component = owned(instance.plugProvider->getComponent());
        FUnknownPtr<IAudioProcessor> processor(component);
        if (!processor ||
            !prepareBusBuffers(*instance.processData, *component, instance.blockSize, chooseSampleSize(*processor)))
            return false;
        ProcessData& data = *instance.processData;
        data.processContext = nullptr;
        data.inputEvents = nullptr;
        data.outputEvents = nullptr;
        data.inputParameterChanges = instance.inputChanges.get();
        data.outputParameterChanges = instance.outputChanges.get();
        instance.paramTransfer->transferChangesTo(*instance.inputChanges);
        // The buses keep their buffers: a plug-in that walks its channels
        // without looking at numSamples finds valid memory.
        data.numSamples = 0;
        tresult result = kResultFalse;
        {
            const BlockScope scope(&instance);
            result = processor->process(data);
        }
        instance.outputChanges->clearQueue();
        // Refused: the edits stay for the next block, as after a failed block.
        if (result != kResultOk)
            return false;
        instance.inputChanges->clearQueue();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool processAudio(float* block, std::int32_t channels, std::int32_t frames, PluginInstance& instance) noexcept
{
    writeTraceLine("processAudio: start>>>");
    Outcome outcome = Outcome::noProcessor;
    try {
        outcome = processUnderLock(block, channels, frames, instance);
    } catch (const std::bad_alloc&) {
        // Only a larger block than any before, or more edited parameters
        // than queues, allocate; the block stays dry.
        return false;
    }
    switch (outcome) {
    case Outcome::processed:
        writeTraceLine("processAudio: end<<<");
        return true;
    case Outcome::bypassed:
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

} // namespace talven
