// INPUT and OUTPUT: audio files read and written through libsndfile, which
// the Windows build lacks (there it reports that it handles no files).
#pragma once

#include "bass.h"

#include <cstdint>
#include <functional>
#include <string>

namespace talven::apply {

// INPUT's format, which OUTPUT takes over.
struct AudioFormat {
    int rate = 0;
    int channels = 0;
    int fileFormat = 0; // libsndfile's SF_FORMAT_* of INPUT
};

// The format of the audio file at path, or false with a reason in error.
bool probeInput(const std::string& path, AudioFormat& format, std::string& error);

// Pulls stream (a decoding channel of float samples in format's channel
// count) to its end into a new file at path, in format, leaving out its
// first skipFrames frames. totalFrames (0: unknown) is what the progress bar
// counts. The file appears only once complete. beforePull, when given, is
// called with the frames pulled so far before each pull; false stops with
// the error it set.
bool renderToFile(HSTREAM stream, const AudioFormat& format, const std::string& path, std::uint64_t skipFrames,
                  std::uint64_t totalFrames, std::string& error,
                  const std::function<bool(std::uint64_t, std::string&)>& beforePull = {});

} // namespace talven::apply
