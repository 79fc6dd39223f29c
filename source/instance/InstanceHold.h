#pragma once

#include "instance/PluginInstance.h"
#include "registry/Registry.h"

#include <cstdint>

namespace talven {

// One hold on the record under a handle for the length of a scope: taken by
// refInstance on construction and, when a record was found, released by
// unrefHandle on every way out. Any thread.
class InstanceHold {
public:
    explicit InstanceHold(std::uint32_t handle) : handle_(handle), record_(refInstance(handle)) {}
    ~InstanceHold()
    {
        if (record_)
            unrefHandle(handle_);
    }
    InstanceHold(const InstanceHold&) = delete;
    InstanceHold& operator=(const InstanceHold&) = delete;

    // The record, or null when none is registered under the handle or the
    // one found carries another handle.
    PluginInstance* get() const { return record_ && record_->handle == handle_ ? record_ : nullptr; }

private:
    std::uint32_t handle_;
    PluginInstance* record_;
};

} // namespace talven
