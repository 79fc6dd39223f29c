#pragma once

namespace talven {

// Keeps the audio thread out of plug-in code while the process ends.
//
// When a Linux program calls exit() (or returns from main) with a plug-in on
// a playing channel, BASS's mixing thread goes on calling the DSP while the
// runtime destroys each plug-in library's static objects and runs its
// finalizers: a block then runs code whose state is gone. From the moment
// the process begins to end, every block passes dry without entering the
// plug-in, and the end waits for the blocks already inside one.
//
// On Windows the system ends every other thread before any library hears of
// the process ending, so nothing is needed there.
class PluginBlockGate {
public:
    // Audio thread. Counts the block as inside plug-in code unless the
    // process has begun to end. Two atomic operations, no lock.
    PluginBlockGate() noexcept;
    ~PluginBlockGate();
    PluginBlockGate(const PluginBlockGate&) = delete;
    PluginBlockGate& operator=(const PluginBlockGate&) = delete;

    // False once the process has begun to end: the block must stay dry.
    bool open() const noexcept { return open_; }

private:
    bool open_;
};

// Arranges that the end of the process closes the gate, and waits for the
// blocks inside it (for at most kProcessEndWaitMs), before the static objects
// of every library loaded until now are destroyed. Called once a plug-in
// library was loaded afresh and entered. Caller's thread, never the audio
// thread (the runtime's exit list allocates).
void closeGateBeforeLibrariesEnd() noexcept;

// What must still call into plug-ins when the process ends (teardowns the
// audio and editor threads left, exit points of modules no longer used): the
// exit handler runs it once the gate is closed, while the plug-in libraries'
// static objects still exist. Run by this library's unload hook instead, it
// would come after they are destroyed. Null: nothing. Set at library load,
// cleared at unload.
void setProcessEndWork(void (*work)() noexcept) noexcept;

// How long the end of the process waits for blocks inside plug-in code: a
// plug-in hung in its process call must not keep the program from ending.
constexpr int kProcessEndWaitMs = 2000;

} // namespace talven
