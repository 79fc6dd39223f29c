#include "LifetimeTestSupport.h"

#include <algorithm>
#include <cmath>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace talven::test {

std::string testPluginPath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

std::string zamPluginPath(const std::string& name)
{
    return "/usr/lib/vst3/" + name + ".vst3";
}

int stormCycles(int native)
{
#if defined(__SANITIZE_THREAD__)
    return std::max(1, native / 2);
#else
    return native;
#endif
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
#ifdef _WIN32
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
#endif
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// A tone of its own pitch for each stream.
struct PlayingEngine::Tone {
    double step = 0;
    double phase = 0;
    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* tone = static_cast<Tone*>(user);
        auto* samples = static_cast<float*>(buffer);
        const DWORD frames = length / (2 * sizeof(float));
        for (DWORD j = 0; j < frames; ++j, tone->phase += tone->step) {
            samples[2 * j] = static_cast<float>(0.3 * std::sin(tone->phase));
            samples[2 * j + 1] = static_cast<float>(0.2 * std::sin(1.5 * tone->phase));
        }
        return frames * 2 * sizeof(float);
    }
};

PlayingEngine::PlayingEngine()
{
    ready_ = BASS_Init(0, 48000, 0, nullptr, nullptr) != FALSE;
}

PlayingEngine::~PlayingEngine()
{
    if (ready_)
        BASS_Free();
}

HSTREAM PlayingEngine::playingStream()
{
    tones_.push_back(std::make_unique<Tone>());
    tones_.back()->step = 0.01 * static_cast<double>(tones_.size());
    const HSTREAM stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT, Tone::proc, tones_.back().get());
    if (stream)
        BASS_ChannelPlay(stream, FALSE);
    return stream;
}

} // namespace talven::test
