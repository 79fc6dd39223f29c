#include "ParameterTestSupport.h"

#include "IsolatedRun.h"
#include "TestSupport.h"
#include "registry/Registry.h"

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

} // namespace

float drySample(std::int64_t frame, int channel)
{
    const auto step = static_cast<float>(frame % 64);
    return channel == 0 ? step / 128.0f : -0.25f - step / 256.0f;
}

DWORD CALLBACK DrySource::proc(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* source = static_cast<DrySource*>(user);
    auto* samples = static_cast<float*>(buffer);
    const DWORD frames = length / (sizeof(float) * kChannels);
    for (DWORD j = 0; j < frames; ++j, ++source->nextFrame) {
        for (int c = 0; c < kChannels; ++c)
            samples[j * kChannels + static_cast<DWORD>(c)] = drySample(source->nextFrame, c);
    }
    return frames * sizeof(float) * kChannels;
}

void AttachedTest::SetUp()
{
    removeTraceFile();
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

void AttachedTest::TearDown()
{
    BASS_Free();
    sources_.clear();
}

HSTREAM AttachedTest::makeStream(DWORD flags)
{
    auto source = std::make_unique<DrySource>();
    const HSTREAM stream = BASS_StreamCreate(44100, kChannels, BASS_SAMPLE_FLOAT | flags, DrySource::proc, source.get());
    if (stream)
        sources_[stream] = std::move(source);
    return stream;
}

HSTREAM AttachedTest::decodeStream()
{
    return makeStream(BASS_STREAM_DECODE);
}

HSTREAM AttachedTest::playingStream()
{
    return makeStream(0);
}

std::uint32_t AttachedTest::attach(HSTREAM stream, const std::string& plugin)
{
    return attachForTest(stream, testPluginPath(plugin).c_str(), 0, 0, 0, nullptr, "test");
}

bool AttachedTest::Block::scaledBy(float factor) const
{
    if (samples.size() != dry.size())
        return false;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (samples[i] != dry[i] * factor)
            return false;
    }
    return true;
}

AttachedTest::Block AttachedTest::pull(HSTREAM stream, int frames)
{
    Block block;
    block.samples.assign(static_cast<size_t>(frames) * kChannels, 0.0f);
    const DWORD got = BASS_ChannelGetData(stream, block.samples.data(),
                                          static_cast<DWORD>(block.samples.size() * sizeof(float)));
    if (got == static_cast<DWORD>(-1) || sources_.count(stream) == 0) {
        block.samples.clear();
        return block;
    }
    block.samples.resize(got / sizeof(float));
    // The source has just produced this block: it ends at its frame count.
    const std::int64_t frameCount = static_cast<std::int64_t>(block.samples.size() / kChannels);
    const std::int64_t first = sources_[stream]->nextFrame - frameCount;
    for (std::int64_t j = 0; j < frameCount; ++j) {
        for (int c = 0; c < kChannels; ++c)
            block.dry.push_back(drySample(first + j, c));
    }
    return block;
}

std::vector<std::string> callsStartingWith(const RecordedPlugin& plugin, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& name : plugin.callNames()) {
        if (name.rfind(prefix, 0) == 0)
            found.push_back(name);
    }
    return found;
}

} // namespace talven::test
