#pragma once

#include <cstdint>

namespace talven {

// What the handle registry keeps under each instance handle: the handle, the
// holds on the record, and how the record ends. The records themselves are
// the instance layer's; the registry knows them only through this.
class HandleRecord {
public:
    HandleRecord() = default;
    HandleRecord(const HandleRecord&) = delete;
    HandleRecord& operator=(const HandleRecord&) = delete;

    std::uint32_t handle = 0; // 0 until registered
    std::int32_t holds = 0;   // guarded by the handle-table lock

    // The library is being unloaded with this record still registered:
    // takes every callback of the library's off BASS, which outlives the
    // library's code, waiting for a call in progress as BASS does. Nothing
    // else of the record is torn down. Called once, by the unload hook,
    // outside every lock of the registry's.
    virtual void takeCallbacksOffBass() noexcept {}

protected:
    virtual ~HandleRecord() = default;

private:
    friend int unrefHandle(std::uint32_t handle);
    // Tears the record down and frees it, once its last hold is gone: called
    // once, by unrefHandle, outside the table lock, on the thread that
    // released the last hold.
    virtual void destroy() noexcept = 0;
};

} // namespace talven
