#include "sources.h"

#include <algorithm>

#ifndef _WIN32
#include <sndfile.h>
#endif

namespace talvenbass {
namespace {

class ProcSource final : public Source {
public:
    ProcSource(STREAMPROC *proc, void *user, DWORD chans)
        : proc_(proc), user_(user), frameBytes_(chans * static_cast<DWORD>(sizeof(float))) {}

    DWORD read(HSTREAM handle, float *out, DWORD bytes, bool &ended) override {
        // BASS keeps asking until the request is filled; a STREAMPROC that
        // delivers nothing (without END) stalls the stream for this call.
        DWORD got = 0;
        while (got < bytes) {
            const DWORD result = proc_(handle, reinterpret_cast<char *>(out) + got, bytes - got, user_);
            const DWORD delivered = std::min<DWORD>(result & ~static_cast<DWORD>(BASS_STREAMPROC_END), bytes - got);
            got += delivered;
            if (result & BASS_STREAMPROC_END) {
                ended = true;
                break;
            }
            if (delivered == 0)
                break;
        }
        return got - got % frameBytes_;
    }

private:
    STREAMPROC *proc_;
    void *user_;
    DWORD frameBytes_;
};

#ifndef _WIN32
struct SndfileCloser {
    void operator()(SNDFILE *file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

class FileSource final : public Source {
public:
    FileSource(SndfilePtr file, const SF_INFO &info) : file_(std::move(file)), info_(info) {}

    DWORD read(HSTREAM, float *out, DWORD bytes, bool &ended) override {
        const sf_count_t wanted = bytes / frameBytes();
        const sf_count_t got = wanted > 0 ? sf_readf_float(file_.get(), out, wanted) : 0;
        if (got < wanted)
            ended = true;
        return static_cast<DWORD>(std::max<sf_count_t>(got, 0) * frameBytes());
    }

    bool rewind() override { return sf_seek(file_.get(), 0, SEEK_SET) == 0; }

    QWORD lengthBytes() const override { return static_cast<QWORD>(info_.frames) * frameBytes(); }

private:
    DWORD frameBytes() const { return static_cast<DWORD>(info_.channels) * static_cast<DWORD>(sizeof(float)); }

    SndfilePtr file_;
    SF_INFO info_;
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
#endif

} // namespace

std::unique_ptr<Source> makeProcSource(STREAMPROC *proc, void *user, DWORD chans) {
    return std::make_unique<ProcSource>(proc, user, chans);
}

#ifdef _WIN32
OpenedFile openFile(const std::string &) {
    OpenedFile result;
    result.error = BASS_ERROR_NOTAVAIL;
    return result;
}
#else
OpenedFile openFile(const std::string &utf8Path) {
    OpenedFile result;
    SF_INFO info{};
    SndfilePtr file(sf_open(utf8Path.c_str(), SFM_READ, &info));
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
    result.source = std::make_unique<FileSource>(std::move(file), info);
    return result;
}
#endif

} // namespace talvenbass
