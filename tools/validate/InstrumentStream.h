// An instrument's stream made through Talven's public exports, freed when
// it goes, and whether a module's plug-in is an instrument at all.
#pragma once

#include "talven.h"

#include <cstdint>
#include <string>
#include <vector>

namespace talven::validate {

// True when the first audio class of the module at path is an instrument
// (its sub-categories name one): the checks then play it instead of
// attaching it.
bool isInstrumentModule(const std::string& path);

class InstrumentStream {
public:
    // A decoding stream, pulled by the check; or, playing, one that BASS's
    // mixing thread renders.
    InstrumentStream(const std::string& path, std::uint32_t channels, std::uint32_t rate, bool playing = false);
    ~InstrumentStream();
    InstrumentStream(const InstrumentStream&) = delete;
    InstrumentStream& operator=(const InstrumentStream&) = delete;

    bool ok() const { return stream_ != 0 && handle_ != 0; }
    std::uint32_t handle() const { return handle_; }
    std::uint32_t stream() const { return stream_; }
    std::uint32_t channels() const { return channels_; }

    // Untimed events; false unless all were taken.
    bool send(const std::vector<TALVEN_MIDI_EVENT>& events);
    // frames frames into block (resized); false when BASS delivered less.
    bool pull(std::uint32_t frames, std::vector<float>& block);
    // BASS_StreamFree's result; the instrument goes with the stream.
    bool free();

private:
    std::uint32_t stream_ = 0;
    std::uint32_t handle_ = 0;
    std::uint32_t channels_;
};

} // namespace talven::validate
