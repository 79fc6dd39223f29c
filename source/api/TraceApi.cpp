// The exported switch of the trace log.
#include "talven.h"

#include "api/Boundary.h"
#include "log/TraceLog.h"

extern "C" {

int32_t TALVEN_CALL TALVEN_SetTrace(int32_t enabled)
{
    return talven::setTraceEnabled(enabled != 0) ? 1 : 0;
}

} // extern "C"
