#include "InstrumentTestSupport.h"

#include "platform/DynamicLibrary.h"

namespace talven::test {

EventRecorder::EventRecorder() : path_(testPluginPath("EventRecorder"))
{
#ifdef _WIN32
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/EventRecorder.vst3";
#else
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/EventRecorder.so";
#endif
    std::string error;
    library_ = loadLibrary(inner, error);
    reset();
}

EventRecorder::~EventRecorder()
{
    reset();
    freeLibrary(library_);
}

std::vector<TalvenRecordedEvent> EventRecorder::events() const
{
    auto read = reinterpret_cast<TalvenEventsReadProc>(library_ ? librarySymbol(library_, "TalvenEventsRead") : nullptr);
    if (!read)
        return {};
    std::vector<TalvenRecordedEvent> out(static_cast<std::size_t>(read(nullptr, 0)));
    out.resize(static_cast<std::size_t>(read(out.data(), static_cast<std::int32_t>(out.size()))));
    return out;
}

std::vector<TalvenRecordedEvent> EventRecorder::events(int kind) const
{
    std::vector<TalvenRecordedEvent> out;
    for (const TalvenRecordedEvent& e : events())
        if (e.kind == kind)
            out.push_back(e);
    return out;
}

void EventRecorder::reset() const
{
    auto reset = reinterpret_cast<TalvenEventsResetProc>(library_ ? librarySymbol(library_, "TalvenEventsReset") : nullptr);
    if (reset)
        reset();
}

} // namespace talven::test
