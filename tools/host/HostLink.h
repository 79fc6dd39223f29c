// What the plug-in's process shares among its threads: the control pipe
// (writes serialised: answers from the main thread, reports from any) and
// the attachment it runs.
#pragma once

#include "isolation/ControlMessage.h"
#include "isolation/ControlPipe.h"
#include "talven.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace talven::host {

struct HostLink {
    std::unique_ptr<ControlPipe> pipe;
    std::mutex writing;
    std::atomic<std::uint32_t> handle{0}; // the attachment in this process
    std::atomic<std::uint32_t> stream{0};
    // The last state's bytes, kept so that the next state (usually the same
    // size) is made once, not once for its size and once more for its bytes.
    std::vector<unsigned char> state;

    bool send(MessageWriter& message)
    {
        std::lock_guard<std::mutex> lock(writing);
        return message.send(*pipe);
    }
};

// The one link of this process, for the callbacks that carry no user data.
HostLink& hostLink();

// Answers one call of the program's side; false for a kind it does not know
// (the message is answered with nothing then). Main thread.
void answerCall(HostLink& link, MessageReader& call);

// Forwards the editor window's moves and its close to the program's side.
TALVEN_POSITIONPROC positionReporter();

} // namespace talven::host
