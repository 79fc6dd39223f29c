// The exported editor function: argument check and the C boundary; the work
// is in instance/EditorCalls.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "instance/EditorCalls.h"

extern "C" {

int32_t TALVEN_CALL TALVEN_ShowEditor(uint32_t handle, uint8_t visible, int32_t x, int32_t y,
                                      TALVEN_POSITIONPROC positionCallback, const char* title)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    return talven::guardBoundary(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, showEditor(*link, visible, x, y, positionCallback, title));
        return talven::showEditor(handle, visible != 0, x, y, positionCallback, title);
    });
}

} // extern "C"
