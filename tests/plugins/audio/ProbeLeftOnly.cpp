// A stereo gain that writes its left output channel only.
#include "EntryPoints.h"
#include "ProbePlugin.h"

namespace {
talven::testplugin::ProbeShape shape()
{
    talven::testplugin::ProbeShape s;
    s.inputChannels = 2;
    s.outputChannels = 2;
    s.auxBuses = false;
    s.leftOnly = true;
    s.only64 = false;
    return s;
}
} // namespace

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::probeDescription(shape(), 0xB003, "Talven Probe Left Only"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
