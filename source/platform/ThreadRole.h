#pragma once

namespace talven {

// What the calling thread may do with a plug-in besides running it.
//
// The audio thread: while any of the library's DSP work is on its stack
// (BASS's thread inside the library's DSP, and every callback the library
// makes from there), nothing may switch a plug-in off and on, terminate it or
// unload its module; such work waits for a thread that may block.
class AudioWorkScope {
public:
    AudioWorkScope() noexcept;
    ~AudioWorkScope();
    AudioWorkScope(const AudioWorkScope&) = delete;
    AudioWorkScope& operator=(const AudioWorkScope&) = delete;

    // True while a scope is open on this thread. A thread-local read.
    static bool active() noexcept;
};

// Marks the calling thread, for the rest of its life, as one the library
// joins when it is unloaded (then under the system's loader lock): a module
// unload there would wait for that lock, so modules released on it are kept
// for a thread that may unload them.
void markThreadKeepsModules() noexcept;

// False on the audio thread and on a thread that keeps modules.
bool mayUnloadModulesHere() noexcept;

} // namespace talven
