// Exports of the plug-in's state in memory and its programs: the C boundary;
// the work is in instance/PresetCalls and host/Programs.
#include "talven.h"

#include "api/Boundary.h"
#include "api/Isolated.h"
#include "host/Programs.h"
#include "instance/InstanceHold.h"
#include "instance/PresetCalls.h"

#include <cstring>
#include <limits>
#include <vector>

extern "C" {

int32_t TALVEN_CALL TALVEN_GetState(uint32_t handle, void* data, int32_t capacity)
{
    TALVEN_ASSERT_RETURN(handle != 0, -1);
    return talven::guardBoundary<int32_t>(-1, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getState(*link, data, capacity));
        std::vector<char> state;
        if (!talven::getStateFor(handle, state) || state.size() > std::numeric_limits<int32_t>::max())
            return -1;
        const int32_t size = static_cast<int32_t>(state.size());
        if (data && capacity >= size)
            std::memcpy(data, state.data(), state.size());
        return size;
    });
}

int32_t TALVEN_CALL TALVEN_SetState(uint32_t handle, const void* data, int32_t size)
{
    TALVEN_ASSERT_RETURN(handle != 0, 0);
    TALVEN_ASSERT_RETURN(data != nullptr && size > 0, 0);
    return talven::guardBoundary<int32_t>(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, setState(*link, data, size));
        return talven::setStateFor(handle, data, static_cast<std::size_t>(size)) ? 1 : 0;
    });
}

int32_t TALVEN_CALL TALVEN_GetProgramCount(uint32_t handle)
{
    return talven::guardBoundary<int32_t>(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getProgramCount(*link));
        talven::InstanceHold hold(handle);
        return hold.get() ? talven::getProgramCount(hold.get()->plugin) : 0;
    });
}

int32_t TALVEN_CALL TALVEN_GetProgramName(uint32_t handle, int32_t index, char* name, int32_t size)
{
    TALVEN_ASSERT_RETURN(name != nullptr && size >= 1, 0);
    return talven::guardBoundary<int32_t>(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getProgramName(*link, index, name, size));
        talven::InstanceHold hold(handle);
        return hold.get() && talven::getProgramName(hold.get()->plugin, index, name, static_cast<std::size_t>(size))
                   ? 1
                   : 0;
    });
}

int32_t TALVEN_CALL TALVEN_GetProgram(uint32_t handle)
{
    return talven::guardBoundary<int32_t>(-1, [&] {
        TALVEN_FORWARD_ISOLATED(handle, getProgram(*link));
        talven::InstanceHold hold(handle);
        return hold.get() ? talven::getProgram(hold.get()->plugin) : -1;
    });
}

int32_t TALVEN_CALL TALVEN_SetProgram(uint32_t handle, int32_t index)
{
    return talven::guardBoundary<int32_t>(0, [&] {
        TALVEN_FORWARD_ISOLATED(handle, setProgram(*link, index));
        talven::InstanceHold hold(handle);
        return hold.get() && talven::setProgram(hold.get()->plugin, index) ? 1 : 0;
    });
}

} // extern "C"
