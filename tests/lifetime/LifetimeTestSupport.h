// Shared pieces of the lifetime suites: playing channels of the test engine
// and where the plug-ins are.
#pragma once

#include "bass.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace talven::test {

// The package path of a test plug-in built by this tree.
std::string testPluginPath(const std::string& name);
// The package path of an installed zam-plugins plug-in (Linux).
std::string zamPluginPath(const std::string& name);

// How many cycles each thread of a storm runs: the same everywhere but under
// ThreadSanitizer, where each costs far more.
int stormCycles(int native);

// Waits until the condition holds or the bound passes; on Windows it pumps
// this thread's messages meanwhile, so thread timers started here tick.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds bound = std::chrono::seconds(30));

// An initialized engine and playing stereo streams of a tone, each its own;
// their DSPs run on the engine's mixing thread. Freed with the object.
class PlayingEngine {
public:
    PlayingEngine();
    ~PlayingEngine();
    PlayingEngine(const PlayingEngine&) = delete;
    PlayingEngine& operator=(const PlayingEngine&) = delete;

    bool ready() const { return ready_; }
    HSTREAM playingStream();

private:
    struct Tone;
    bool ready_ = false;
    std::vector<std::unique_ptr<Tone>> tones_;
};

} // namespace talven::test
