// The Windows build: Debian has no libsndfile for MinGW-w64, so this build
// lists, describes and scans plug-ins but processes no files.
#include "AudioFiles.h"

namespace talven::apply {

bool probeInput(const std::string& path, AudioFormat&, std::string& error)
{
    error = "cannot read " + path + ": this build of talven-apply processes no audio files (only --list, --info "
            "and --scan)";
    return false;
}

bool renderToFile(HSTREAM, const AudioFormat&, const std::string& path, std::uint64_t, std::uint64_t,
                  std::string& error, const std::function<bool(std::uint64_t, std::string&)>&)
{
    error = "cannot write " + path + ": this build of talven-apply processes no audio files";
    return false;
}

} // namespace talven::apply
