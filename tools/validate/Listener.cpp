#include "Listener.h"

#include "Channel.h"

#include <cstring>

namespace talven::validate {

bool Listener::pull(std::uint32_t frames, bool& unchanged)
{
    const std::uint64_t first = channel_.source().frame; // decoding: this thread renders
    if (!channel_.pull(frames, block_))
        return false;
    input_.resize(block_.size());
    fillSignal(channel_.source().seed, first, frames, channel_.channels(), input_.data());
    unchanged = std::memcmp(block_.data(), input_.data(), block_.size() * sizeof(float)) == 0;
    return true;
}

} // namespace talven::validate
