// The export that sets the musical context of an instance's blocks.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "instance/InstanceHold.h"

extern "C" {

int32_t TALVEN_CALL TALVEN_SetTransport(uint32_t handle, double tempo, int32_t numerator, int32_t denominator)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(talven::Transport::valid(tempo, numerator, denominator), 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, setTransport(*link, tempo, numerator, denominator));
        talven::InstanceHold hold(handle);
        talven::PluginInstance* instance = hold.get();
        if (!instance || !instance->attached.load())
            return 0;
        return instance->transport.set(tempo, numerator, denominator) ? 1 : 0;
    });
}

} // extern "C"
