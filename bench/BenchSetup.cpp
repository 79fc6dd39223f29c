#include "BenchSetup.h"

#include "instance/BassCallbacks.h"
#include "instance/PluginInstance.h"
#include "registry/Registry.h"
#include "talven.h"

#include <sys/vfs.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace talven::bench {

std::string pluginName(int index)
{
    switch (index) {
    case kProbeStereo:
        return "ProbeStereo";
    case kZamCompX2:
        return "ZamCompX2";
    case kZaMaximX2:
        return "ZaMaximX2";
    default:
        return "";
    }
}

std::string pluginPath(int index)
{
    if (index == kProbeStereo)
        return std::string(TALVEN_TEST_PLUGIN_DIR) + "/ProbeStereo.vst3";
    return "/usr/lib/vst3/" + pluginName(index) + ".vst3";
}

// ------------------------------------------------------------------ signal

Signal::Signal(int channels) : channels_(channels), samples_(static_cast<std::size_t>(kRate) * channels)
{
    for (std::size_t i = 0; i < samples_.size(); ++i) {
        const auto frame = static_cast<double>(i / static_cast<std::size_t>(channels));
        const auto channel = static_cast<double>(i % static_cast<std::size_t>(channels));
        samples_[i] = static_cast<float>(0.4 * std::sin(0.0123 * (channel + 1) * frame + channel));
    }
}

void Signal::next(float* block, int frames)
{
    std::size_t wanted = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    while (wanted > 0) {
        const std::size_t piece = std::min(wanted, samples_.size() - position_);
        std::memcpy(block, samples_.data() + position_, piece * sizeof(float));
        block += piece;
        wanted -= piece;
        position_ = (position_ + piece) % samples_.size();
    }
}

// ------------------------------------------------------------------ plug-in

namespace {

// The channel is never pulled; BASS_StreamCreate wants a source all the same.
DWORD CALLBACK silence(HSTREAM, void* buffer, DWORD length, void*)
{
    std::memset(buffer, 0, length);
    return length;
}

} // namespace

AttachedPlugin::AttachedPlugin(const std::string& path)
{
    stream_ = BASS_StreamCreate(kRate, kChannels, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, silence, nullptr);
    if (!stream_)
        return;
    handle_ = TALVEN_ChannelSetDSP(stream_, path.c_str(), 0, 0, 0, 0, 0, nullptr, "bench");
    // The DSP's user value is the record itself, kept alive by the
    // attachment while the DSP is set; the hold taken here changes nothing
    // on the block path.
    if (handle_)
        record_ = refInstance(handle_);
}

AttachedPlugin::~AttachedPlugin()
{
    if (record_)
        unrefHandle(handle_);
    if (handle_)
        TALVEN_ChannelRemoveDSP(stream_, handle_);
    if (stream_)
        BASS_StreamFree(stream_);
}

void AttachedPlugin::block(float* samples, int frames)
{
    const auto bytes = static_cast<DWORD>(static_cast<std::size_t>(frames) * kChannels * sizeof(float));
    dspCallback(0, stream_, samples, bytes, record_);
}

// ----------------------------------------------------------------- timings

double Timings::quantile(double q) const
{
    if (values_.empty())
        return 0.0;
    std::vector<double> sorted = values_;
    const auto index = static_cast<std::size_t>(std::lround(q * static_cast<double>(sorted.size() - 1)));
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(index), sorted.end());
    return sorted[index];
}

// ------------------------------------------------------------- directories

std::string diskDirectory()
{
    const char* directory = std::getenv("TALVEN_BENCH_DISK_DIR");
    return directory ? directory : "";
}

std::string fileSystemOf(const std::string& directory)
{
    constexpr long kTmpfs = 0x01021994;
    constexpr long kRamfs = 0x858458f6;
    struct statfs info {};
    if (statfs(directory.c_str(), &info) != 0)
        return "unknown";
    const auto type = static_cast<long>(info.f_type);
    return type == kTmpfs || type == kRamfs ? "tmpfs" : "disk";
}

} // namespace talven::bench
