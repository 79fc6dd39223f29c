#pragma once

#include "pluginterfaces/base/ibstream.h"

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

namespace talven {

// A preset held in memory, as a stream: what a store writes for the state in
// memory, and the copy of a caller's state that a recall reads. Unlike the
// SDK's memory stream it bounds every seek and read, since the positions a
// preset's chunk list names come from the caller. At most kMaxSize bytes
// (the state's size is an int32 at the boundary). Any thread, one at a time;
// the count of references may be touched anywhere.
class PresetMemory : public Steinberg::IBStream {
public:
    static constexpr Steinberg::int64 kMaxSize = 0x7FFFFFFF;

    // Starts with one reference and the given bytes, the cursor at 0.
    static PresetMemory* create(std::vector<char> bytes = {});

    const std::vector<char>& bytes() const { return bytes_; }

    // ---- FUnknown
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    // ---- IBStream
    Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                       Steinberg::int32* numBytesRead = nullptr) override;
    Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                        Steinberg::int32* numBytesWritten = nullptr) override;
    Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                       Steinberg::int64* result = nullptr) override;
    Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

private:
    explicit PresetMemory(std::vector<char> bytes) : bytes_(std::move(bytes)) {}
    virtual ~PresetMemory() = default;
    PresetMemory(const PresetMemory&) = delete;
    PresetMemory& operator=(const PresetMemory&) = delete;

    std::atomic<Steinberg::uint32> references_{1};
    std::vector<char> bytes_;
    Steinberg::int64 cursor_ = 0; // 0..kMaxSize; may stand past the end
};

} // namespace talven
