// A stereo plug-in that plays its mono side-chain input on its left output.
#include "EntryPoints.h"
#include "ProbePlugin.h"

namespace {
talven::testplugin::ProbeShape shape()
{
    talven::testplugin::ProbeShape s;
    s.auxBuses = true;
    s.auxInputChannels = 1;
    s.auxListen = true;
    return s;
}
} // namespace

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::probeDescription(shape(), 0xB008, "Talven Probe Mono Side-Chain Listen"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
