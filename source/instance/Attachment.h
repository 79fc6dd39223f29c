#pragma once

#include "editor/IWindow.h"
#include "instance/PluginInstance.h"

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
    // The class to attach, 32 hexadecimal digits; null: the first audio
    // effect of the module.
    const char* classId = nullptr;
};

// Attaches the first audio effect of the plug-in at path (UTF-8) to a BASS
// channel: registers a new instance, instantiates its plug-in (the open
// step), prepares its processing, and sets the DSP and the channel-freed sync
// on the channel. Returns the instance handle, or 0; a failed attach leaves
// nothing on the channel and its handle number is not given out again. A
// channel whose DSP data would not be float is refused before anything is
// made. Caller's thread.
std::uint32_t attachPlugin(std::uint32_t channel, const char* path, const AttachOptions& options);

// The open step of an attach, on the caller's thread: looks the instance up
// with a hold, instantiates its plug-in, opens the editor when showEditor is
// non-zero (x, y: window position, 0/0 centres; title: UTF-8), and has the
// controller describe every parameter once. The hold is released on every
// path. True when the plug-in was instantiated.
bool openPlugin(const char* path, std::uint32_t handle, std::uint8_t showEditor, std::int32_t x,
                std::int32_t y, const char* title, const char* classId = nullptr, bool instrument = false) noexcept;

// A float BASS stream of freq Hz and chans channels rendered by the
// instrument at path (classId: 32 hexadecimal digits, or null for the
// module's first instrument). flags: BASS stream flags. Returns the stream,
// and its instance handle in *handle when handle is not null; 0 with nothing
// left behind on failure (rates 8000-384000 and 1-8 channels only). Freeing
// the stream releases the instance. Caller's thread.
std::uint32_t createInstrumentStream(std::uint32_t freq, std::uint32_t chans, const char* path,
                                     const char* classId, std::uint32_t flags, std::uint32_t* handle);

// Takes the instance off its channel and its plug-in down: the DSP first
// (BASS waits for a block in progress), then processing off and the
// component inactive, the editor closed and the plug-in released, with no
// lock held while the program's position callback runs. 1 when this call
// released the attachment; 0 when the handle names no instance, another
// detach or the channel's free already claimed it (a detach called from a
// callback of this one, say), or when called from inside the plug-in's own
// process call. An instrument goes with its stream: the stream is freed. The instance is destroyed on the calling thread unless
// another call still holds it. Caller's thread.
int detachPlugin(std::uint32_t handle);

// The instance's bypass state; 0 for an unknown handle. Caller's thread.
std::uint32_t readBypass(std::uint32_t handle);

// Releases the attachment hold if it is still owed: true for the one caller
// per instance that releases it. The caller holds a hold of its own. Any
// thread.
bool releaseAttachment(PluginInstance& record);

} // namespace talven
