// A stereo plug-in that plays its stereo side-chain input.
#include "EntryPoints.h"
#include "ProbePlugin.h"

namespace {
talven::testplugin::ProbeShape shape()
{
    talven::testplugin::ProbeShape s;
    s.auxBuses = true;
    s.auxListen = true;
    return s;
}
} // namespace

TALVEN_TEST_PLUGIN_FACTORY(talven::testplugin::probeDescription(shape(), 0xB007, "Talven Probe Side-Chain Listen"))
TALVEN_TEST_PLUGIN_INIT_EXIT(true)
