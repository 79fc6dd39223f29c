// Shared pieces of the instrument tests: the event recorder's module opened
// beside the library's load, for what its plug-ins noted.
#pragma once

#include "AudioTestSupport.h"
#include "EventRecorderExports.h"
#include "MidiEventAt.h"

#include "talven.h"

#include <string>
#include <vector>

namespace talven::test {

constexpr const char kRecorderInstrumentId[] = "7A1E00095E7A4C119D3B2F600000A001";
constexpr const char kRecorderEffectId[] = "7A1E00095E7A4C119D3B2F600000A002";

class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    const std::string& path() const { return path_; }
    std::vector<TalvenRecordedEvent> events() const;
    // Only those of one kind.
    std::vector<TalvenRecordedEvent> events(int kind) const;
    void reset() const;

private:
    std::string path_;
    void* library_ = nullptr;
};

} // namespace talven::test
