#include "Instance.h"

#include "Census.h"

#include "talven.h"

#include <utility>

namespace talven::validate {

namespace {

bool isolatedAttach = false;

} // namespace

void attachIsolated(bool isolated)
{
    isolatedAttach = isolated;
}

std::uint32_t attachPlugin(std::uint32_t channel, const std::string& path)
{
    TALVEN_ATTACH attach{};
    attach.size = sizeof attach;
    attach.path = path.c_str();
    attach.flags = isolatedAttach ? TALVEN_ATTACH_ISOLATED : 0;
    attach.title = "talven-validate";
    const std::uint32_t handle = TALVEN_ChannelSetDSPWith(channel, &attach);
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
