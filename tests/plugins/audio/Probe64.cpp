// A stereo gain that takes 64-bit samples only.
#include "EntryPoints.h"
#include "ProbePlugin.h"

namespace {
talven::testplugin::ProbeShape shape()
{
    talven::testplugin::ProbeShape s;
    s.inputChannels = 2;
    s.outputChannels = 2;
    s.auxBuses = false;
    s.leftOnly = false;
    s.only64 = true;
    return s;
}
} // namespace

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::probeDescription(shape(), 0xB004, "Talven Probe 64-bit"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
