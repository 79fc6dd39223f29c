#include "Channel.h"

#include "talven.h"

namespace talven::validate {

BassSession::BassSession() : ok_(BASS_Init(0, 44100, 0, nullptr, nullptr) != 0) {}

BassSession::~BassSession()
{
    if (ok_)
        BASS_Free();
}

Channel::Channel(std::uint64_t seed, std::uint32_t channels, std::uint32_t rate, bool playing)
    : source_(std::make_unique<SignalSource>(seed, channels)), rate_(rate)
{
    const DWORD flags = BASS_SAMPLE_FLOAT | (playing ? 0 : BASS_STREAM_DECODE);
    handle_ = BASS_StreamCreate(rate, channels, flags, SignalSource::streamProc, source_.get());
    if (handle_ && playing && !BASS_ChannelPlay(handle_, FALSE))
        free(false);
}

Channel::~Channel()
{
    free(false);
}

bool Channel::free(bool throughTalven)
{
    if (!handle_)
        return false;
    const HSTREAM handle = handle_;
    handle_ = 0;
    return throughTalven ? TALVEN_ChannelFree(handle) != 0 : BASS_StreamFree(handle) != 0;
}

bool Channel::pull(std::uint32_t frames, std::vector<float>& block)
{
    block.resize(static_cast<std::size_t>(frames) * channels());
    const auto bytes = static_cast<DWORD>(block.size() * sizeof(float));
    return handle_ && BASS_ChannelGetData(handle_, block.data(), bytes) == bytes;
}

} // namespace talven::validate
