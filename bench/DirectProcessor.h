#pragma once

#include <memory>
#include <string>
#include <vector>

namespace talven::bench {

// A plug-in's processor driven directly, as a host without the library
// would: set up for 4096-frame blocks at 48 kHz in 32-bit, active and
// processing, with its own bus layout and planar buffers made once.
class DirectProcessor {
public:
    explicit DirectProcessor(const std::string& path);
    ~DirectProcessor();
    DirectProcessor(const DirectProcessor&) = delete;
    DirectProcessor& operator=(const DirectProcessor&) = delete;

    bool ready() const;
    // One process call of frames (at most 4096) on the buffers as they are.
    bool process(int frames);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace talven::bench
