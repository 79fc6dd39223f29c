#pragma once

#include "registry/PluginInstance.h"

#include <cstdint>

namespace talven {

// What the caller's attach request carries besides the channel and path.
struct AttachOptions {
    std::int32_t priority = 0;      // of the DSP in the channel's chain
    std::uint8_t showEditor = 0;    // non-zero: open the editor during the attach
    std::int32_t editorX = 0;       // editor position; 0, 0 centres it
    std::int32_t editorY = 0;
    const char* title = nullptr;    // editor window title, UTF-8
    // Given to the editor window opened by the attach; may be null.
    Steinberg::Vst::EditorHost::PositionCallback positionCallback = nullptr;
};

// Attaches the first audio effect of the plug-in at path (UTF-8) to a BASS
// channel: registers a new instance, instantiates and prepares its plug-in,
// and sets the DSP and the channel-freed sync on the channel. Returns the
// instance handle, or 0; a failed attach leaves nothing on the channel and
// its handle number is not given out again. Caller's thread.
std::uint32_t attachPlugin(std::uint32_t channel, const char* path, const AttachOptions& options);

// Switches the plug-in off, closes its editor, releases it and takes the
// instance off its channel. 1 when this call released the attachment, 0 when
// the handle names no instance or the attachment was already released (by
// an earlier detach or by the channel being freed). The instance is
// destroyed on the calling thread unless another call still holds it; no
// block is in progress on it once this returns. Caller's thread; takes the
// instance lock but calls BASS outside it.
int detachPlugin(std::uint32_t handle);

// The instance's bypass state under its lock; 0 for an unknown handle.
// Caller's thread.
std::uint32_t readBypass(std::uint32_t handle);

// Releases the attachment hold if it is still owed: true for the one caller
// per instance that releases it. The caller holds a hold of its own. Any
// thread.
bool releaseAttachment(PluginInstance& record);

} // namespace talven
