#include "RestartTestSupport.h"

#include "IsolatedRun.h"
#include "TestSupport.h"
#include "log/TraceLog.h"
#include "registry/Registry.h"

#include <algorithm>
#include <cstdio>

namespace talven::test {
namespace {

// No load hook runs for the statically linked library: set the registry up
// as the hook would.
class RegistryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { registryLoad(); }
    void TearDown() override { registryUnload(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new RegistryEnvironment);

void noteMismatch(RampWatch& watch, std::int64_t frame)
{
    ++watch.mismatches;
    std::int64_t none = -1;
    watch.firstMismatch.compare_exchange_strong(none, frame);
}

} // namespace

std::string testPluginPath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

// ------------------------------------------------------------------ plug-in

RestartPlugin::RestartPlugin()
{
#ifdef _WIN32
    const std::string inner = path() + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/RestartEffect.vst3";
#else
    const std::string inner = path() + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/RestartEffect.so";
#endif
    std::string error;
    library_ = loadLibrary(inner, error);
    reset();
}

RestartPlugin::~RestartPlugin()
{
    reset();
    freeLibrary(library_);
}

TalvenRestartStats RestartPlugin::stats() const
{
    TalvenRestartStats stats{};
    if (auto read = symbol<TalvenRestartReadProc>(TALVEN_RESTART_READ))
        read(&stats);
    return stats;
}

void RestartPlugin::reset() const
{
    if (auto call = symbol<TalvenRestartResetProc>(TALVEN_RESTART_RESET))
        call();
}

void RestartPlugin::setLatency(int samples) const
{
    if (auto call = symbol<TalvenRestartSetLatencyProc>(TALVEN_RESTART_SET_LATENCY))
        call(samples);
}

void RestartPlugin::setOutputChannels(int channels) const
{
    if (auto call = symbol<TalvenRestartSetOutputChannelsProc>(TALVEN_RESTART_SET_OUTPUT_CHANNELS))
        call(channels);
}

void RestartPlugin::listLevel(bool listed) const
{
    if (auto call = symbol<TalvenRestartListLevelProc>(TALVEN_RESTART_LIST_LEVEL))
        call(listed ? 1 : 0);
}

std::int32_t RestartPlugin::request(std::int32_t flags, std::int32_t where) const
{
    auto call = symbol<TalvenRestartRequestProc>(TALVEN_RESTART_REQUEST);
    return call ? call(flags, where) : -2;
}

std::vector<TalvenRestartContext> RestartPlugin::contexts() const
{
    auto copy = symbol<TalvenRestartContextsProc>(TALVEN_RESTART_CONTEXTS);
    if (!copy)
        return {};
    std::vector<TalvenRestartContext> recorded(static_cast<size_t>(copy(nullptr, 0)));
    recorded.resize(static_cast<size_t>(copy(recorded.data(), static_cast<int32_t>(recorded.size()))));
    return recorded;
}

std::int64_t RestartPlugin::threadTag() const
{
    auto call = symbol<TalvenRestartThreadTagProc>(TALVEN_RESTART_THREAD_TAG);
    return call ? call() : -1;
}

// --------------------------------------------------------------------- ramp

float rampSample(std::int64_t frame, int channel)
{
    const auto value = static_cast<float>(frame + 1);
    return channel == 0 ? value : -value;
}

void CALLBACK RampWatch::dsp(HDSP, DWORD, void* buffer, DWORD length, void* user)
{
    auto& watch = *static_cast<RampWatch*>(user);
    const auto* samples = static_cast<const float*>(buffer);
    const DWORD frames = length / (2 * sizeof(float));
    ++watch.calls;
    for (DWORD j = 0; j < frames; ++j) {
        const std::int64_t frame = watch.frames++;
        const float left = samples[2 * j];
        const float right = samples[2 * j + 1];
        const float dryLeft = rampSample(frame, 0);
        const float dryRight = rampSample(frame, 1);
        if (left == dryLeft && right == dryRight) {
            ++watch.dryFrames;
            continue;
        }
        float factor = 0;
        if (left == dryLeft * 0.5f) {
            factor = 0.5f;
            ++watch.halvedFrames;
            if (watch.raisedFrames.load() > 0)
                ++watch.halvedAfterRaised;
        } else if (left == dryLeft * 1.5f) {
            factor = 1.5f;
            ++watch.raisedFrames;
        } else {
            noteMismatch(watch, frame);
            continue;
        }
        if (right == dryRight * factor)
            ++watch.stereoFrames;
        else if (right == dryRight)
            ++watch.monoFrames;
        else
            noteMismatch(watch, frame);
    }
}

DWORD CALLBACK RestartEngineTest::Ramp::proc(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* ramp = static_cast<Ramp*>(user);
    auto* samples = static_cast<float*>(buffer);
    const DWORD frames = length / (2 * sizeof(float));
    for (DWORD j = 0; j < frames; ++j, ++ramp->next) {
        samples[2 * j] = rampSample(ramp->next, 0);
        samples[2 * j + 1] = rampSample(ramp->next, 1);
    }
    return frames * 2 * sizeof(float);
}

DWORD CALLBACK RestartEngineTest::levelProc(HSTREAM, void* buffer, DWORD length, void* user)
{
    const float value = static_cast<RestartEngineTest*>(user)->level_.load();
    auto* samples = static_cast<float*>(buffer);
    std::fill(samples, samples + length / sizeof(float), value);
    return length;
}

// -------------------------------------------------------------------- engine

void RestartEngineTest::SetUp()
{
    std::remove(kTraceFileName);
    ASSERT_TRUE(plugin.loaded());
    plugin.reset();
    ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr));
    engineUp_ = true;
}

void RestartEngineTest::TearDown()
{
    if (handle != 0)
        TALVEN_ChannelRemoveDSP(0, handle);
    handle = 0;
    if (engineUp_) {
        EXPECT_TRUE(BASS_Free());
    }
}

HSTREAM RestartEngineTest::playingRamp()
{
    ramp_ = std::make_unique<Ramp>();
    stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, Ramp::proc, ramp_.get());
    if (stream == 0)
        return 0;
    // After every DSP of higher priority, the plug-in's (0) among them.
    watchDsp_ = BASS_ChannelSetDSP(stream, RampWatch::dsp, &watch, -1000);
    if (watchDsp_ == 0 || !BASS_ChannelPlay(stream, FALSE))
        return 0;
    return stream;
}

HSTREAM RestartEngineTest::levelStream(DWORD rate)
{
    stream = BASS_StreamCreate(rate, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, levelProc, this);
    return stream;
}

std::vector<float> RestartEngineTest::pull(HSTREAM from, int frames, int channels)
{
    std::vector<float> block(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    const DWORD bytes = static_cast<DWORD>(block.size() * sizeof(float));
    EXPECT_EQ(BASS_ChannelGetData(from, block.data(), bytes), bytes);
    return block;
}

std::uint32_t RestartEngineTest::attach(HSTREAM to, const std::string& path)
{
    handle = attachForTest(to, path.c_str(), 0, 0, 0, nullptr, "Restart test");
    return handle;
}

bool RestartEngineTest::waitProcessed(std::int64_t frames)
{
    const std::int64_t target = plugin.stats().processedFrames + frames;
    return waitUntil([&] { return plugin.stats().processedFrames >= target; });
}

void RestartEngineTest::finishAndCheckFrames()
{
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    handle = 0;
    // A block the plug-in processed just before may not have reached the
    // watch yet: the watch's next call sees it, every later one is dry.
    const std::int64_t calls = watch.calls.load();
    EXPECT_TRUE(waitUntil([&] { return watch.calls.load() >= calls + 2; }));
    EXPECT_TRUE(BASS_ChannelRemoveDSP(stream, watchDsp_));
    watchDsp_ = 0;
    const TalvenRestartStats stats = plugin.stats();
    EXPECT_EQ(watch.mismatches.load(), 0) << "first at frame " << watch.firstMismatch.load();
    EXPECT_EQ(watch.processedFrames(), stats.processedFrames);
    EXPECT_GT(watch.processedFrames(), 0);
    EXPECT_EQ(stats.violations, 0);
}

TALVEN_INFO RestartEngineTest::info()
{
    TALVEN_INFO described{};
    described.size = sizeof described;
    EXPECT_EQ(TALVEN_GetInfo(handle, &described), 1);
    return described;
}

// ---------------------------------------------------------------- reports

void TALVEN_CALL HeardReports::hear(uint32_t handle, uint32_t id, double value, void* user)
{
    auto* reports = static_cast<HeardReports*>(user);
    std::lock_guard<std::mutex> guard(reports->lock);
    reports->heard.push_back({handle, id, value, std::this_thread::get_id()});
}

std::vector<HeardReports::Report> HeardReports::copy() const
{
    std::lock_guard<std::mutex> guard(lock);
    return heard;
}

std::vector<HeardReports::Report> HeardReports::of(std::uint32_t id) const
{
    std::vector<Report> matching;
    for (const Report& report : copy())
        if (report.id == id)
            matching.push_back(report);
    return matching;
}

} // namespace talven::test
