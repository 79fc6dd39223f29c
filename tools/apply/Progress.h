// A one-line progress bar on standard error, for long inputs on a terminal.
#pragma once

#include <cstdint>

namespace talven::apply {

class Progress {
public:
    // Shown only when standard error is a terminal and total is known and at
    // least minimumFrames long.
    Progress(std::uint64_t totalFrames, std::uint64_t minimumFrames);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void advance(std::uint64_t frames);

private:
    bool shown_ = false;
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
    int lastPercent_ = -1;
};

} // namespace talven::apply
