// File streams of every format libsndfile reads (Linux only).
#include "file_reader.h"

#include <sndfile.h>

#include <algorithm>

namespace talvenbass {
namespace {

struct SndfileCloser {
    void operator()(SNDFILE *file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

class SndfileReader final : public FileReader {
public:
    SndfileReader(SndfilePtr file, const SF_INFO &info) : file_(std::move(file)), info_(info) {}

    DWORD read(float *out, DWORD frames) override {
        const sf_count_t got = frames > 0 ? sf_readf_float(file_.get(), out, frames) : 0;
        return static_cast<DWORD>(std::max<sf_count_t>(got, 0));
    }

    bool seek(QWORD frame) override {
        const auto target = static_cast<sf_count_t>(std::min<QWORD>(frame, frames()));
        return sf_seek(file_.get(), target, SEEK_SET) == target;
    }

    QWORD frames() const override { return static_cast<QWORD>(std::max<sf_count_t>(info_.frames, 0)); }

private:
    SndfilePtr file_;
    const SF_INFO info_;
};

DWORD channelType(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const int sub = format & SF_FORMAT_SUBMASK;
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64) {
        if (sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE)
            return BASS_CTYPE_STREAM_WAV_FLOAT;
        if (sub >= SF_FORMAT_PCM_S8 && sub <= SF_FORMAT_PCM_U8)
            return BASS_CTYPE_STREAM_WAV_PCM;
        return BASS_CTYPE_STREAM_WAV;
    }
    if (major == SF_FORMAT_AIFF)
        return BASS_CTYPE_STREAM_AIFF;
    if (major == SF_FORMAT_OGG)
        return BASS_CTYPE_STREAM_OGG;
    return BASS_CTYPE_STREAM;
}

DWORD originalResolution(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32: return 32;
    case SF_FORMAT_FLOAT: return 32 | BASS_ORIGRES_FLOAT;
    case SF_FORMAT_DOUBLE: return 64 | BASS_ORIGRES_FLOAT;
    default: return 0;
    }
}

} // namespace

OpenedReader openSndfile(const std::string &path) {
    OpenedReader result;
    SF_INFO info{};
    SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        // libsndfile reports a missing or unreadable file as a system error.
        result.error = sf_error(nullptr) == SF_ERR_SYSTEM ? BASS_ERROR_FILEOPEN : BASS_ERROR_FILEFORM;
        return result;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        result.error = BASS_ERROR_FILEFORM;
        return result;
    }
    result.freq = static_cast<DWORD>(info.samplerate);
    result.chans = static_cast<DWORD>(info.channels);
    result.ctype = channelType(info.format);
    result.origres = originalResolution(info.format);
    result.reader = std::make_unique<SndfileReader>(std::move(file), info);
    return result;
}

} // namespace talvenbass
