#include "platform/ThreadRole.h"

namespace talven {
namespace {
// Plain thread-locals: one with a destructor would keep the library mapped.
thread_local int audioDepth = 0;
thread_local bool keepsModules = false;
} // namespace

AudioWorkScope::AudioWorkScope() noexcept
{
    ++audioDepth;
}

AudioWorkScope::~AudioWorkScope()
{
    --audioDepth;
}

bool AudioWorkScope::active() noexcept
{
    return audioDepth > 0;
}

void markThreadKeepsModules() noexcept
{
    keepsModules = true;
}

bool mayUnloadModulesHere() noexcept
{
    return audioDepth == 0 && !keepsModules;
}

} // namespace talven
