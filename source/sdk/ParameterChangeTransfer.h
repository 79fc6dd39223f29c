#pragma once

#include "pluginterfaces/vst/vsttypes.h"

#include <atomic>
#include <memory>

namespace Steinberg {
namespace Vst {

class ParameterChanges;

// A ring of parameter edits from one writer thread (the controller side) to
// one reader thread (the audio side), without a lock: the writer alone stores
// the write index, after the entry is complete (release); the reader alone
// stores the read index. One slot always stays free to tell full from empty,
// so a ring of N entries holds N - 1 unread changes; a change added while it
// is full is lost.
class ParameterChangeTransfer {
public:
    explicit ParameterChangeTransfer(int32 maxChanges = 0);
    ParameterChangeTransfer(const ParameterChangeTransfer&) = delete;
    ParameterChangeTransfer& operator=(const ParameterChangeTransfer&) = delete;

    // Replaces the ring by an empty one of maxChanges entries (none for 0 or
    // less). Only while neither side uses the transfer.
    void setMaxParameters(int32 maxChanges);
    int32 getSize() const { return size_; }

    // Writer thread. Never blocks or allocates; without entry storage it
    // does nothing.
    void addChange(ParamID id, ParamValue value, int32 sampleOffset);

    // Reader thread. Never block or allocate (transferChangesTo allocates
    // only when the destination runs out of queues).
    bool getNextChange(ParamID& id, ParamValue& value, int32& sampleOffset);
    void transferChangesTo(ParameterChanges& destination);
    // Drops every unread change.
    void removeChanges();

private:
    struct Change {
        ParamID id;
        ParamValue value;
        int32 sampleOffset;
    };
    std::unique_ptr<Change[]> changes_;
    int32 size_ = 0;
    std::atomic<int32> readIndex_{0};
    std::atomic<int32> writeIndex_{0};
};

} // namespace Vst
} // namespace Steinberg
