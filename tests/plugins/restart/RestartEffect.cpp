// The RestartEffect module: its factory, entry points and test controls
// (RestartExports.h).
#include "EntryPoints.h"
#include "RestartPlugin.h"
#include "RestartState.h"

#include "pluginterfaces/base/fplatform.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

namespace talven::testplugin::restart {
namespace {

const Steinberg::FUID processorUid(0x7A1E0006, 0x5E7A4C11, 0x9D3B2F60, 0x0000A001);
const Steinberg::FUID controllerUid(0x7A1E0006, 0x5E7A4C11, 0x9D3B2F60, 0x0000C001);

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        {processorUid, kVstAudioEffectClass, "Talven Restart Effect", Steinberg::Vst::ComponentFlags::kDistributable,
         "Fx", [] { return createProcessor(controllerUid); }},
        {controllerUid, kVstComponentControllerClass, "Talven Restart Effect Controller", 0, "", createController},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

} // namespace
} // namespace talven::testplugin::restart

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::restart::description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)

namespace restart = talven::testplugin::restart;

extern "C" {

SMTG_EXPORT_SYMBOL void TalvenRestartRead(TalvenRestartStats* out)
{
    if (!out)
        return;
    const restart::Counters& all = restart::counters();
    out->processCalls = all.processCalls;
    out->processedFrames = all.processedFrames;
    out->setups = all.setups;
    out->activations = all.activations;
    out->deactivations = all.deactivations;
    out->processingOn = all.processingOn;
    out->processingOff = all.processingOff;
    out->violations = all.violations;
    out->latency = all.latency;
    out->outputChannels = all.outputChannels;
    out->requestsMade = all.requestsMade;
    out->lastResult = all.lastResult;
    out->peakDeliveries = all.peakDeliveries;
    out->lastDeliveredPeak = all.lastDeliveredPeak;
    out->peakThread = all.peakThread;
    out->viewThread = all.viewThread;
    out->activationThread = all.activationThread;
    out->requestThread = all.requestThread;
    out->terminations = all.terminations;
    out->terminationThread = all.terminationThread;
}

SMTG_EXPORT_SYMBOL void TalvenRestartReset(void)
{
    restart::reset();
}

SMTG_EXPORT_SYMBOL void TalvenRestartSetLatency(int32_t samples)
{
    restart::nextLatency() = samples;
}

SMTG_EXPORT_SYMBOL void TalvenRestartSetOutputChannels(int32_t channels)
{
    restart::nextOutputChannels() = channels == 1 ? 1 : 2;
}

SMTG_EXPORT_SYMBOL void TalvenRestartListLevel(int32_t listed)
{
    restart::listLevel(listed != 0);
}

SMTG_EXPORT_SYMBOL int32_t TalvenRestartRequest(int32_t flags, int32_t where)
{
    if (where == TALVEN_RESTART_NOW)
        return restart::requestNow(flags);
    restart::queueRequest(flags, where);
    return 0;
}

SMTG_EXPORT_SYMBOL int32_t TalvenRestartContexts(TalvenRestartContext* out, int32_t capacity)
{
    return restart::copyContexts(out, capacity);
}

SMTG_EXPORT_SYMBOL int64_t TalvenRestartThreadTag(void)
{
    return restart::threadTag();
}

} // extern "C"
