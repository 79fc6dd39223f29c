#pragma once

#include "host/HostedPlugin.h"
#include "sdk/ClassInfo.h"

#include <cstdint>
#include <optional>

namespace talven {

// What a program shows of an attached plug-in.
struct PluginDescription {
    VST3::Hosting::ClassInfo classInfo;
    std::int32_t inputChannels = 0;  // of the main input bus; 0 when none
    std::int32_t outputChannels = 0; // of the main output bus
    std::int32_t latencySamples = 0; // the processor's now
    std::uint32_t tailSamples = 0;   // kInfiniteTail: infinite
    bool hasEditor = false;
    std::int32_t parameterCount = 0;
};

// Describes the plug-in, asking it now for what may change (latency, tail,
// buses, parameters); whether it offers an editor is asked the first time
// only (offersEditor). Empty for a plug-in taken away by a detach. Caller's
// thread, no lock.
std::optional<PluginDescription> describePlugin(HostedPlugin& plugin);

// Every class of the module at path (UTF-8 file or package folder), in the
// factory's order, without making an instance; the module goes again unless
// an attached plug-in shares it. Empty for a path that names no loadable
// module or is not UTF-8. Caller's thread.
std::optional<VST3::Hosting::ClassInfos> listModuleClasses(const char* path);

} // namespace talven
