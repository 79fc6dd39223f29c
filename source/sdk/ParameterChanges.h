#pragma once

#include "sdk/ParameterValueQueue.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <vector>

namespace Steinberg {
namespace Vst {

// The parameter changes of one block in one direction. The queues are made
// in advance (setMaxParameters) and reused block after block: clearQueue
// only marks them unused, so handing over edits allocates nothing as long as
// no more parameters change in one block than queues were made.
class ParameterChanges : public IParameterChanges {
public:
    explicit ParameterChanges(int32 maxParameters = 0);
    virtual ~ParameterChanges();
    ParameterChanges(const ParameterChanges&) = delete;
    ParameterChanges& operator=(const ParameterChanges&) = delete;

    // Makes queues until there are at least maxParameters; never drops any.
    void setMaxParameters(int32 maxParameters);
    // Marks every queue unused: no parameter is in use afterwards.
    void clearQueue();
    // Number of queues made so far, used or not.
    int32 getQueueCapacity() const { return static_cast<int32>(queues_.size()); }

    // IParameterChanges
    int32 PLUGIN_API getParameterCount() SMTG_OVERRIDE;
    IParamValueQueue* PLUGIN_API getParameterData(int32 index) SMTG_OVERRIDE;
    // The queue already in use for id, else the next unused one, else a new
    // one. The pointer is not reference-counted for the caller.
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) SMTG_OVERRIDE;

    DECLARE_FUNKNOWN_METHODS

private:
    std::vector<IPtr<ParameterValueQueue>> queues_;
    int32 usedQueueCount_ = 0;
};

} // namespace Vst
} // namespace Steinberg
