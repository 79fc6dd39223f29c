#pragma once

namespace VST3 {
namespace Hosting {

// Writes one progress line of module loading to standard output and flushes
// it. Any thread.
void writeConsoleLine(const char* text);

} // namespace Hosting
} // namespace VST3
