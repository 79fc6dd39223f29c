#pragma once

namespace talven {

// Marks the calling thread as running a block of audio through one plug-in
// instance, for the length of a scope. What a plug-in does from inside its
// own process call runs on the audio thread with that block in progress:
// work that would wait for the block (switching the plug-in off, taking it
// down) or that VST 3 keeps off the audio thread (messages between the
// plug-in's two halves) asks here first. Scopes nest; reading and writing
// the mark is a thread-local access, cheap enough for every block.
class BlockScope {
public:
    explicit BlockScope(const void* instance) noexcept;
    ~BlockScope();
    BlockScope(const BlockScope&) = delete;
    BlockScope& operator=(const BlockScope&) = delete;

    // True on a thread inside any block.
    static bool active() noexcept;
    // True on a thread inside a block of this instance.
    static bool inside(const void* instance) noexcept;

private:
    const void* previous_;
};

} // namespace talven
