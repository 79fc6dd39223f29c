#pragma once

#include "registry/Registry.h"

#include <cstdint>

namespace talven {

// One hold on the record under a handle for the length of a scope: taken by
// refHandle on construction and, when a record was found, released by
// unrefHandle on every way out. Any thread.
class RecordHold {
public:
    explicit RecordHold(std::uint32_t handle) : handle_(handle), record_(refHandle(handle)) {}
    ~RecordHold()
    {
        if (record_)
            unrefHandle(handle_);
    }
    RecordHold(const RecordHold&) = delete;
    RecordHold& operator=(const RecordHold&) = delete;

    // The record, or null when none is registered under the handle or the
    // one found carries another handle.
    PluginInstance* get() const { return record_ && record_->handle == handle_ ? record_ : nullptr; }

private:
    std::uint32_t handle_;
    PluginInstance* record_;
};

} // namespace talven
