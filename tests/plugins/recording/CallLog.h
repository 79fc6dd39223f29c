// What the recording plug-ins write down: every call the host makes on
// their component, processor and controller, with the operating system's id
// of the calling thread. Tests read it through the exported functions of
// RecordingExports.h; the library never does.
#pragma once

#include <cstdint>
#include <string>

namespace talven::testplugin {

// Any thread.
void recordCall(const std::string& call);
std::string callLogText(); // "call@thread\n" per call, in order
void clearCallLog();
std::uint64_t currentThreadTag();

} // namespace talven::testplugin
