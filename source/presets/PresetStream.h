#pragma once

#include "public.sdk/source/vst/vstpresetfile.h"
#include "pluginterfaces/vst/ivstattributes.h"

#include <atomic>
#include <string>

namespace Steinberg {
namespace Vst {
namespace InterAppAudio {

// The read-only window onto one chunk of a preset file that a plug-in reads
// its state from, and the preset's file name (IStreamAttributes). Positions
// count from the start of the chunk; nothing before or after it can be read.
// Any thread: the plug-in may keep, share and release references anywhere.
class PresetStream : public ReadOnlyBStream, public IStreamAttributes {
public:
    // Starts with one reference and holds one on source. A negative offset or
    // size makes an empty window; a size reaching past the largest offset is
    // cut there. fileName: UTF-8 (or null or empty for none).
    static PresetStream* create(IBStream* source, TSize offset, TSize size, const char* fileName);

    // ---- FUnknown (both sides)
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) SMTG_OVERRIDE;
    uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
    uint32 PLUGIN_API release() SMTG_OVERRIDE;

    // ---- IBStream
    tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead = nullptr) SMTG_OVERRIDE;
    tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result = nullptr) SMTG_OVERRIDE;

    // ---- IStreamAttributes
    tresult PLUGIN_API getFileName(String128 name) SMTG_OVERRIDE;
    IAttributeList* PLUGIN_API getAttributes() SMTG_OVERRIDE;

private:
    PresetStream(IBStream* source, TSize offset, TSize size, const char* fileName);
    ~PresetStream() override = default;
    PresetStream(const PresetStream&) = delete;
    PresetStream& operator=(const PresetStream&) = delete;

    // The SDK's own count is read back unsynchronised after its increment on
    // Linux; this one is a true atomic read-modify-write.
    std::atomic<uint32> references{1};
    std::u16string name;
};

} // namespace InterAppAudio
} // namespace Vst
} // namespace Steinberg
