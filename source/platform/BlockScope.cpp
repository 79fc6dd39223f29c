#include "platform/BlockScope.h"

namespace talven {
namespace {
thread_local const void* currentInstance = nullptr;
}

BlockScope::BlockScope(const void* instance) noexcept : previous_(currentInstance)
{
    currentInstance = instance;
}

BlockScope::~BlockScope()
{
    currentInstance = previous_;
}

bool BlockScope::active() noexcept
{
    return currentInstance != nullptr;
}

bool BlockScope::inside(const void* instance) noexcept
{
    return instance != nullptr && currentInstance == instance;
}

} // namespace talven
