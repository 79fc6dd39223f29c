#include "Instance.h"

#include "Census.h"

#include "talven.h"

#include <utility>

namespace talven::validate {

std::uint32_t attachPlugin(std::uint32_t channel, const std::string& path)
{
    const std::uint32_t handle = TALVEN_ChannelSetDSP(channel, path.c_str(), 0, 0, 0, 0, 0, nullptr, "talven-validate");
    noteHandle(handle);
    return handle;
}

Instance::Instance(std::uint32_t channel, const std::string& path) : handle_(attachPlugin(channel, path)) {}

Instance::~Instance()
{
    detach();
}

Instance::Instance(Instance&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}

Instance& Instance::operator=(Instance&& other) noexcept
{
    if (this != &other) {
        detach();
        handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
}

bool Instance::detach()
{
    if (!handle_)
        return false;
    return TALVEN_ChannelRemoveDSP(0, std::exchange(handle_, 0)) == 1;
}

} // namespace talven::validate
