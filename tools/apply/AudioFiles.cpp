#include "AudioFiles.h"

#include "Apply.h"
#include "OutputFile.h"
#include "Progress.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace talven::apply {

bool probeInput(const std::string& path, AudioFormat& format, std::string& error)
{
    SF_INFO info{};
    if (!probeAudioFile(path, info, error))
        return false;
    format.rate = info.samplerate;
    format.channels = info.channels;
    format.fileFormat = info.format;
    return true;
}

bool renderToFile(HSTREAM stream, const AudioFormat& format, const std::string& path, std::uint64_t skipFrames,
                  std::uint64_t totalFrames, std::string& error,
                  const std::function<bool(std::uint64_t, std::string&)>& beforePull)
{
    BASS_CHANNELINFO info{};
    if (!BASS_ChannelGetInfo(stream, &info) || info.chans == 0) {
        error = bassError("cannot read the stream's format");
        return false;
    }
    if (static_cast<int>(info.chans) != format.channels) {
        error = "BASS and libsndfile disagree about the input's channel count";
        return false;
    }
    SF_INFO fileFormat{};
    fileFormat.samplerate = format.rate;
    fileFormat.channels = format.channels;
    fileFormat.format = format.fileFormat;
    OutputFile output;
    if (!output.open(path, fileFormat, error))
        return false;

    const std::uint64_t frameBytes = 4ull * info.chans;
    Progress progress(totalFrames, 10ull * info.freq);
    std::vector<float> block(static_cast<size_t>(kFramesPerPull) * info.chans);
    std::uint64_t pulled = 0;
    for (;;) {
        if (beforePull && !beforePull(pulled, error))
            return false;
        const DWORD got = BASS_ChannelGetData(stream, block.data(), static_cast<DWORD>(block.size() * sizeof(float)));
        if (got == static_cast<DWORD>(-1)) {
            if (BASS_ErrorGetCode() == BASS_ERROR_ENDED)
                break;
            error = bassError("cannot read the input");
            return false;
        }
        const std::uint64_t frames = got / frameBytes;
        const std::uint64_t skipped = std::min(frames, skipFrames);
        skipFrames -= skipped;
        const sf_count_t kept = static_cast<sf_count_t>(frames - skipped);
        if (!output.write(block.data() + skipped * info.chans, kept, error))
            return false;
        progress.advance(frames);
        pulled += frames;
    }
    return output.commit(error);
}

} // namespace talven::apply
