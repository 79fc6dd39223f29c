// Decoders behind BASS_StreamCreateFile: a sound file read as float frames,
// seekable by frame. Each reader is used by one thread at a time (the
// channel's render or a seek waiting its turn).
#pragma once

#include "bass.h"

#include <cstdio>
#include <memory>
#include <string>

namespace talvenbass {

class FileReader {
public:
    virtual ~FileReader() = default;

    // Reads up to `frames` interleaved float frames into `out` and returns
    // how many it read; fewer than asked means the end of the file.
    virtual DWORD read(float *out, DWORD frames) = 0;
    // Moves to `frame` (at most frames()); false, with the position kept,
    // when the file cannot be moved.
    virtual bool seek(QWORD frame) = 0;
    virtual QWORD frames() const = 0;
};

struct OpenedReader {
    std::unique_ptr<FileReader> reader; // null on failure, with `error` set
    int error = BASS_OK;
    bool foreign = false; // failed as not this reader's kind of file
    DWORD freq = 0;
    DWORD chans = 0;
    DWORD ctype = 0;
    DWORD origres = 0;
};

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// RIFF/WAVE with PCM (8, 16, 24 or 32 bits) or 32-bit float data, plain or
// WAVE_FORMAT_EXTENSIBLE, any channel count. Anything else fails with
// BASS_ERROR_FILEFORM, marked `foreign` when it is no RIFF/WAVE file or
// holds another encoding (ADPCM, A-law, ...).
OpenedReader openWav(FilePtr file);

#ifndef _WIN32
// Every format libsndfile reads; `path` is UTF-8.
OpenedReader openSndfile(const std::string &path);
#endif

} // namespace talvenbass
