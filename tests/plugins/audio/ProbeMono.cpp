// A mono gain: mono input, mono output.
#include "EntryPoints.h"
#include "ProbePlugin.h"

namespace {
talven::testplugin::ProbeShape shape()
{
    talven::testplugin::ProbeShape s;
    s.inputChannels = 1;
    s.outputChannels = 1;
    s.auxBuses = false;
    s.leftOnly = false;
    s.only64 = false;
    return s;
}
} // namespace

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::probeDescription(shape(), 0xB002, "Talven Probe Mono"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
