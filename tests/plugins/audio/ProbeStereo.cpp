// A stereo gain: stereo input, stereo output.
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
    s.only64 = false;
    return s;
}
} // namespace

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::probeDescription(shape(), 0xB001, "Talven Probe Stereo"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
