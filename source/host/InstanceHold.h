#pragma once

#include "registry/Registry.h"

#include <cstdint>

namespace talven {

// One registry hold on the instance under a handle, for the length of an
// exported call: taken on construction, released on every way out. Any
// thread.
class InstanceHold {
public:
    explicit InstanceHold(std::uint32_t handle) : handle_(handle), instance_(refHandle(handle)) {}
    ~InstanceHold()
    {
        if (instance_)
            unrefHandle(handle_);
    }
    InstanceHold(const InstanceHold&) = delete;
    InstanceHold& operator=(const InstanceHold&) = delete;

    // The record, or null when the handle names none (or a record that is
    // not the one registered under it).
    PluginInstance* get() const { return instance_ && instance_->handle == handle_ ? instance_ : nullptr; }

private:
    std::uint32_t handle_;
    PluginInstance* instance_;
};

} // namespace talven
