#include "isolation/QuietFaults.h"

#include <sys/resource.h>

namespace talven {

void endQuietlyOnFault()
{
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

} // namespace talven
