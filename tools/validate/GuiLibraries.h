#pragma once

#include <string>

namespace talven::validate {

// Under AddressSanitizer on Linux: keeps Mesa's software GL driver and the
// plug-in's own library loaded to the end of the process. GUIs drawn with
// OpenGL keep memory in those libraries' globals, which LeakSanitizer would
// report as lost once the library is unloaded, although it is theirs, not
// Talven's. Elsewhere it does nothing. The editor check's thread.
void keepGuiLibrariesLoaded(const std::string& plugin);

} // namespace talven::validate
