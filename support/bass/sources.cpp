#include "sources.h"

#include "file_reader.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace talvenbass {
namespace {

class ProcSource final : public Source {
public:
    ProcSource(STREAMPROC *proc, void *user, DWORD frameBytes) : proc_(proc), user_(user), frameBytes_(frameBytes) {}

    DWORD read(HSTREAM handle, void *out, DWORD frames, bool &ended) override {
        // BASS keeps asking until the request is filled; a STREAMPROC that
        // delivers nothing (without END) stalls the stream for this call.
        const DWORD bytes = frames * frameBytes_;
        DWORD got = 0;
        while (got < bytes) {
            const DWORD result = proc_(handle, static_cast<char *>(out) + got, bytes - got, user_);
            const DWORD delivered = std::min<DWORD>(result & ~static_cast<DWORD>(BASS_STREAMPROC_END), bytes - got);
            got += delivered;
            if (result & BASS_STREAMPROC_END) {
                ended = true;
                break;
            }
            if (delivered == 0)
                break;
        }
        return got / frameBytes_;
    }

private:
    STREAMPROC *proc_;
    void *user_;
    DWORD frameBytes_;
};

// A decoded file delivered in the channel's format.
class FileSource final : public Source {
public:
    FileSource(std::unique_ptr<FileReader> reader, DWORD chans, SampleFormat format)
        : reader_(std::move(reader)), chans_(chans), format_(format) {}

    DWORD read(HSTREAM, void *out, DWORD frames, bool &ended) override {
        DWORD got = 0;
        if (format_ == SampleFormat::Float32) {
            got = reader_->read(static_cast<float *>(out), frames);
        } else {
            decoded_.resize(static_cast<std::size_t>(frames) * chans_);
            got = reader_->read(decoded_.data(), frames);
            fromFloat(format_, decoded_.data(), out, static_cast<std::size_t>(got) * chans_);
        }
        if (got < frames)
            ended = true;
        return got;
    }

    bool seekable() const override { return true; }
    bool seek(QWORD frame) override { return reader_->seek(frame); }
    QWORD lengthFrames() const override { return reader_->frames(); }

private:
    const std::unique_ptr<FileReader> reader_;
    const DWORD chans_;
    const SampleFormat format_;
    std::vector<float> decoded_; // one block, grown as needed
};

FilePtr openPath(const void *path, bool unicode) {
#ifdef _WIN32
    if (unicode)
        return FilePtr(_wfopen(static_cast<const wchar_t *>(path), L"rb"));
#else
    (void)unicode;
#endif
    return FilePtr(std::fopen(static_cast<const char *>(path), "rb"));
}

} // namespace

std::unique_ptr<Source> makeProcSource(STREAMPROC *proc, void *user, DWORD frameBytes) {
    return std::make_unique<ProcSource>(proc, user, frameBytes);
}

OpenedFile openFile(const void *path, bool unicode, SampleFormat format) {
    OpenedFile result;
#ifndef _WIN32
    if (unicode) {
        result.error = BASS_ERROR_NOTAVAIL;
        return result;
    }
#endif
    FilePtr file = openPath(path, unicode);
    if (!file) {
        result.error = BASS_ERROR_FILEOPEN;
        return result;
    }
    OpenedReader opened = openWav(std::move(file));
#ifndef _WIN32
    // Not a file the engine decodes itself: libsndfile knows more formats.
    if (opened.foreign)
        opened = openSndfile(static_cast<const char *>(path));
#endif
    if (!opened.reader) {
        result.error = opened.error;
        return result;
    }
    result.freq = opened.freq;
    result.chans = opened.chans;
    result.ctype = opened.ctype;
    result.origres = opened.origres;
    result.source = std::make_unique<FileSource>(std::move(opened.reader), opened.chans, format);
    return result;
}

} // namespace talvenbass
