#include "InstrumentStream.h"

#include "Census.h"

#include "bass.h"

#include <cstring>
#include <utility>

namespace talven::validate {

bool isInstrumentModule(const std::string& path)
{
    const std::int32_t count = TALVEN_GetModuleClasses(path.c_str(), nullptr, 0);
    if (count <= 0)
        return false;
    std::vector<TALVEN_CLASSINFO> classes(static_cast<std::size_t>(count));
    classes[0].size = sizeof(TALVEN_CLASSINFO);
    const std::int32_t got = TALVEN_GetModuleClasses(path.c_str(), classes.data(), count);
    for (std::int32_t i = 0; i < got; ++i) {
        if (std::strcmp(classes[static_cast<std::size_t>(i)].category, "Audio Module Class") == 0)
            return std::strstr(classes[static_cast<std::size_t>(i)].subCategories, "Instrument") != nullptr;
    }
    return false;
}

InstrumentStream::InstrumentStream(const std::string& path, std::uint32_t channels, std::uint32_t rate,
                                   bool playing)
    : channels_(channels)
{
    stream_ = TALVEN_StreamCreate(rate, channels, path.c_str(), nullptr, playing ? 0 : BASS_STREAM_DECODE, &handle_);
    noteHandle(handle_);
    if (playing && stream_ != 0 && !BASS_ChannelPlay(stream_, FALSE))
        free();
}

InstrumentStream::~InstrumentStream()
{
    free();
}

bool InstrumentStream::send(const std::vector<TALVEN_MIDI_EVENT>& events)
{
    const auto count = static_cast<std::uint32_t>(events.size());
    return TALVEN_StreamEvents(handle_, TALVEN_EVENTS_STRUCT, events.data(), count) == static_cast<std::int32_t>(count);
}

bool InstrumentStream::pull(std::uint32_t frames, std::vector<float>& block)
{
    block.assign(static_cast<std::size_t>(frames) * channels_, 0.f);
    const auto bytes = static_cast<DWORD>(block.size() * sizeof(float));
    return stream_ != 0 && BASS_ChannelGetData(stream_, block.data(), bytes | BASS_DATA_FLOAT) == bytes;
}

bool InstrumentStream::free()
{
    handle_ = 0;
    const std::uint32_t stream = std::exchange(stream_, 0);
    return stream != 0 && BASS_StreamFree(stream) != 0;
}

} // namespace talven::validate
