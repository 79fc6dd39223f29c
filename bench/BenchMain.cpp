// The benchmarks' program: the library's internals linked in statically, the
// registry set up as the load hook would, and the BASS-compatible engine
// without a device. The trace file goes to the current directory: run it
// from a scratch directory (scripts/bench does).
#include "log/TraceLog.h"
#include "registry/Registry.h"

#include "bass.h"

#include <benchmark/benchmark.h>

#include <cstdio>

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    talven::registryLoad();
    if (!BASS_Init(0, 48000, 0, nullptr, nullptr)) {
        std::fputs("cannot initialise the engine\n", stderr);
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BASS_Free();
    std::remove(talven::kTraceFileName);
    talven::registryUnload();
    return 0;
}
