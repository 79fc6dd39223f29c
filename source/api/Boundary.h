#pragma once

// Helpers for the exported functions, where the library meets its callers'
// C code: bad arguments and exceptions become the function's failure value.

// Returns failure from the enclosing function unless condition holds, e.g.
//   TALVEN_ASSERT_RETURN(path != nullptr, 0);
#define TALVEN_ASSERT_RETURN(condition, failure) \
    do {                                         \
        if (!(condition))                        \
            return (failure);                    \
    } while (false)

#include "platform/ReportScope.h"
#include "registry/DeferredTeardown.h"

namespace talven {

// Runs body and returns its result; any exception it lets out becomes
// failure, so none crosses into the caller's C code. Edits the plug-in
// reports meanwhile reach the program's parameter callback once body is
// done, outside the plug-in's calls (ReportScope). Teardowns left by the
// audio thread or the editor thread are finished first, where this thread
// may do them.
template <typename Result, typename Body>
Result guardBoundary(Result failure, Body&& body) noexcept
{
    try {
        ReportScope reportsAfterwards;
        runDeferredTeardowns();
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace talven
