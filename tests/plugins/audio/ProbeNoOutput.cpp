// A stereo input and no output bus, as an analyser has.
#include "EntryPoints.h"
#include "ProbePlugin.h"

namespace {
talven::testplugin::ProbeShape shape()
{
    talven::testplugin::ProbeShape s;
    s.inputChannels = 2;
    s.outputChannels = 0;
    s.auxBuses = false;
    s.leftOnly = false;
    s.only64 = false;
    return s;
}
} // namespace

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::probeDescription(shape(), 0xB005, "Talven Probe No Output"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
