// The exported side-chain function; the work is in instance/SidechainCalls.
#include "talven.h"

#include "api/Boundary.h"
#include "instance/SidechainCalls.h"

extern "C" {

int32_t TALVEN_CALL TALVEN_SetSidechain(uint32_t handle, uint32_t channel, int32_t priority)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary<int32_t>(
        0, [&] { return talven::setSidechainFor(handle, channel, priority) ? 1 : 0; });
}

} // extern "C"
