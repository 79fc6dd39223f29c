#include "OutputFile.h"

#include <cstdio>
#include <unistd.h>

namespace talven::apply {

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::open(const std::string& path, SF_INFO format, std::string& error)
{
    discard();
    path_ = path;
    partialPath_ = path + ".partial-" + std::to_string(static_cast<long>(getpid()));
    format.frames = 0;
    format.sections = 0;
    format.seekable = 0;
    if (!sf_format_check(&format)) {
        error = "cannot write " + path + " in the input's format";
        return false;
    }
    file_ = sf_open(partialPath_.c_str(), SFM_WRITE, &format);
    if (!file_) {
        error = "cannot write " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    // Integer formats: clip rather than wrap samples beyond full scale.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool OutputFile::write(const float* frames, sf_count_t count, std::string& error)
{
    if (file_ && sf_writef_float(file_, frames, count) == count)
        return true;
    error = "cannot write " + path_ + ": " + sf_strerror(file_);
    return false;
}

bool OutputFile::commit(std::string& error)
{
    if (!file_) {
        error = "no output open";
        return false;
    }
    sf_write_sync(file_);
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0 || std::rename(partialPath_.c_str(), path_.c_str()) != 0) {
        error = "cannot write " + path_;
        std::remove(partialPath_.c_str());
        return false;
    }
    partialPath_.clear();
    return true;
}

void OutputFile::discard()
{
    if (file_) {
        sf_close(file_);
        file_ = nullptr;
    }
    if (!partialPath_.empty()) {
        std::remove(partialPath_.c_str());
        partialPath_.clear();
    }
}

bool probeAudioFile(const std::string& path, SF_INFO& format, std::string& error)
{
    if (access(path.c_str(), R_OK) != 0) {
        error = "cannot read " + path + ": no such readable file";
        return false;
    }
    format = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
    if (!file) {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    sf_close(file);
    if (format.channels <= 0 || format.samplerate <= 0) {
        error = "cannot read " + path + ": no audio in it";
        return false;
    }
    return true;
}

} // namespace talven::apply
