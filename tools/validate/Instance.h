// A plug-in attached to a channel through Talven's public exports, detached
// when it goes.
#pragma once

#include <cstdint>
#include <string>

namespace talven::validate {

class Instance {
public:
    Instance() = default;
    // Attaches the plug-in at path to channel with DSP priority 0.
    Instance(std::uint32_t channel, const std::string& path);
    ~Instance();
    Instance(Instance&& other) noexcept;
    Instance& operator=(Instance&& other) noexcept;
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return handle_ != 0; }
    std::uint32_t handle() const { return handle_; }

    // TALVEN_ChannelRemoveDSP's result; the instance is empty afterwards.
    bool detach();
    // Forgets the handle without detaching (its channel was freed).
    void forget() { handle_ = 0; }

private:
    std::uint32_t handle_ = 0;
};

// The attach, noting the handle for the census; in a process of its own
// after attachIsolated(true) (--isolated, set once at the start). Any thread.
std::uint32_t attachPlugin(std::uint32_t channel, const std::string& path);
void attachIsolated(bool isolated);

} // namespace talven::validate
