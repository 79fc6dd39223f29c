#include "sdk/ModuleLock.h"

namespace VST3 {
namespace Hosting {
namespace {
// Constant-initialized and never destroyed: a module may still be released
// on another thread while the process runs its exit.
talven::StaticRecursiveLock theModuleLock;
} // namespace

talven::StaticRecursiveLock& moduleLock()
{
    return theModuleLock;
}

} // namespace Hosting
} // namespace VST3
