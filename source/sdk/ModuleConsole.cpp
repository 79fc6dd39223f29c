#include "sdk/ModuleConsole.h"

#include <cstdio>

namespace VST3 {
namespace Hosting {

void writeConsoleLine(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace Hosting
} // namespace VST3
