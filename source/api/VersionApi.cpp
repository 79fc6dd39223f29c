// The exported version query.
#include "talven.h"

#include "api/Version.h"

static_assert(TALVEN_VERSION_MAJOR < 256 && TALVEN_VERSION_MINOR < 256 && TALVEN_VERSION_REVISION < 256 &&
                  TALVEN_VERSION_BUILD < 256,
              "each part of the version takes one byte");

extern "C" {

uint32_t TALVEN_CALL TALVEN_GetVersion(void)
{
    return (uint32_t{TALVEN_VERSION_MAJOR} << 24) | (uint32_t{TALVEN_VERSION_MINOR} << 16) |
           (uint32_t{TALVEN_VERSION_REVISION} << 8) | uint32_t{TALVEN_VERSION_BUILD};
}

} // extern "C"
