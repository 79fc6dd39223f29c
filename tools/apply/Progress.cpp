#include "Progress.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace talven::apply {

Progress::Progress(std::uint64_t totalFrames, std::uint64_t minimumFrames)
    : shown_(totalFrames > 0 && totalFrames >= minimumFrames && isatty(STDERR_FILENO) == 1), total_(totalFrames)
{
}

Progress::~Progress()
{
    if (shown_ && lastPercent_ >= 0)
        std::fputc('\n', stderr);
}

void Progress::advance(std::uint64_t frames)
{
    done_ += frames;
    if (!shown_)
        return;
    const std::uint64_t done = done_ < total_ ? done_ : total_;
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kWidth - filled), '-');
    std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stderr);
}

} // namespace talven::apply
