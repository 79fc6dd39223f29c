// The processed audio on its way to OUTPUT, written with libsndfile.
#pragma once

#include <sndfile.h>

#include <string>

namespace talven::apply {

// Writes beside the final path and puts the file in place only once it is
// complete, so a failure never leaves a half-written OUTPUT, nor destroys
// INPUT when both name the same file (INPUT is still being read).
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the file in format (libsndfile's SF_INFO, from INPUT). False
    // with a reason in error.
    bool open(const std::string& path, SF_INFO format, std::string& error);
    bool write(const float* frames, sf_count_t count, std::string& error);
    // Finishes the file and moves it to its final path.
    bool commit(std::string& error);

private:
    void discard();

    std::string path_;
    std::string partialPath_;
    SNDFILE* file_ = nullptr;
};

// The format of the audio file at path, or false with a reason in error.
bool probeAudioFile(const std::string& path, SF_INFO& format, std::string& error);

} // namespace talven::apply
