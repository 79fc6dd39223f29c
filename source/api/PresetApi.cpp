// Exports of preset store and recall: the C boundary; the work is in
// instance/PresetCalls.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "instance/PresetCalls.h"

extern "C" {

// reserved takes the second argument's place, so that handle stays third.
int32_t TALVEN_CALL TALVEN_StorePreset(const char* path, uint32_t /*reserved*/, uint32_t handle)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(path != nullptr, 0);
    return talven::guardBoundary<int32_t>(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, storePreset(*link, path));
        return talven::storePresetFor(handle, path) ? 1 : 0;
    });
}

int32_t TALVEN_CALL TALVEN_RecallPreset(const char* path, uint32_t handle)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(path != nullptr, 0);
    return talven::guardBoundary<int32_t>(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, recallPreset(*link, path));
        return talven::recallPresetFor(handle, path) ? 1 : 0;
    });
}

} // extern "C"
