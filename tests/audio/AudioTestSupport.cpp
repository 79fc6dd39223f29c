#include "AudioTestSupport.h"

#include "log/TraceLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace talven::test {

int stressIterations(int native)
{
#if defined(_WIN32)
    return std::max(1, native / 10);
#elif defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return std::max(1, native / 4);
#else
    return native;
#endif
}

std::string testPluginPath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

float signalSample(std::int64_t frame, int channel)
{
    const double phase = 0.0123 * (channel + 1) * static_cast<double>(frame) + channel;
    return static_cast<float>(0.4 * std::sin(phase) + 0.05 * channel);
}

std::vector<float> signalBlock(std::int64_t first, int channels, int frames)
{
    std::vector<float> block(static_cast<size_t>(channels) * static_cast<size_t>(frames));
    for (int j = 0; j < frames; ++j)
        for (int c = 0; c < channels; ++c)
            block[static_cast<size_t>(j) * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                signalSample(first + j, c);
    return block;
}

DWORD CALLBACK SignalSource::proc(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* source = static_cast<SignalSource*>(user);
    const DWORD frameBytes = static_cast<DWORD>(sizeof(float)) * static_cast<DWORD>(source->channels);
    const int frames = static_cast<int>(length / frameBytes);
    const std::vector<float> block = signalBlock(source->nextFrame, source->channels, frames);
    std::copy(block.begin(), block.end(), static_cast<float*>(buffer));
    source->nextFrame += frames;
    return static_cast<DWORD>(frames) * frameBytes;
}

// ------------------------------------------------------------------ engine

void EngineTest::SetUp()
{
    std::remove(kTraceFileName);
    ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr));
}

void EngineTest::TearDown()
{
    BASSTEST_FailNextCall(nullptr, 0);
    // Frees every channel left: their free syncs take the plug-ins down.
    EXPECT_TRUE(BASS_Free());
}

HSTREAM EngineTest::decodeStream(int channels)
{
    sources_.push_back(std::make_unique<SignalSource>(channels));
    return BASS_StreamCreate(kRate, static_cast<DWORD>(channels), BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE,
                             SignalSource::proc, sources_.back().get());
}

HSTREAM EngineTest::playingStream(int channels)
{
    sources_.push_back(std::make_unique<SignalSource>(channels));
    const HSTREAM stream = BASS_StreamCreate(kRate, static_cast<DWORD>(channels), BASS_SAMPLE_FLOAT,
                                             SignalSource::proc, sources_.back().get());
    if (stream)
        BASS_ChannelPlay(stream, FALSE);
    return stream;
}

std::vector<float> EngineTest::pull(HSTREAM stream, int channels, int frames)
{
    std::vector<float> block(static_cast<size_t>(channels) * static_cast<size_t>(frames));
    const DWORD bytes = static_cast<DWORD>(block.size() * sizeof(float));
    EXPECT_EQ(BASS_ChannelGetData(stream, block.data(), bytes), bytes);
    return block;
}

// ------------------------------------------------------------------- probe

Probe::Probe(const std::string& name) : path_(testPluginPath(name))
{
#ifdef _WIN32
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/" + name + ".vst3";
#else
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/" + name + ".so";
#endif
    std::string error;
    library_ = loadLibrary(inner, error);
    if (library_)
        reset();
}

Probe::~Probe()
{
    if (library_)
        reset();
    freeLibrary(library_);
}

void* Probe::symbol(const char* name) const
{
    return library_ ? librarySymbol(library_, name) : nullptr;
}

TalvenProbeStats Probe::stats() const
{
    TalvenProbeStats stats{};
    if (auto read = reinterpret_cast<TalvenProbeReadProc>(symbol(TALVEN_PROBE_READ)))
        read(&stats);
    return stats;
}

void Probe::reset() const
{
    if (auto call = reinterpret_cast<TalvenProbeResetProc>(symbol(TALVEN_PROBE_RESET)))
        call();
}

void Probe::failNext(int count) const
{
    if (auto call = reinterpret_cast<TalvenProbeFailNextProc>(symbol(TALVEN_PROBE_FAIL_NEXT)))
        call(count);
}

void Probe::hold(bool on) const
{
    if (auto call = reinterpret_cast<TalvenProbeHoldProc>(symbol(TALVEN_PROBE_HOLD)))
        call(on ? 1 : 0);
}

bool Probe::held() const
{
    auto call = reinterpret_cast<TalvenProbeHeldProc>(symbol(TALVEN_PROBE_HELD));
    return call && call() != 0;
}

std::int64_t Probe::threadTag() const
{
    auto call = reinterpret_cast<TalvenProbeThreadTagProc>(symbol(TALVEN_PROBE_THREAD_TAG));
    return call ? call() : -1;
}

} // namespace talven::test
