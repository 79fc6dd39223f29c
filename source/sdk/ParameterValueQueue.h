#pragma once

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <vector>

namespace Steinberg {
namespace Vst {

// The points of one parameter for one block, kept sorted by sample offset.
// Room for kReservedPoints points is reserved up front so that a block with
// a few edits per parameter does not allocate.
class ParameterValueQueue : public IParamValueQueue {
public:
    static constexpr int32 kReservedPoints = 5;

    explicit ParameterValueQueue(ParamID paramId);
    virtual ~ParameterValueQueue();
    ParameterValueQueue(const ParameterValueQueue&) = delete;
    ParameterValueQueue& operator=(const ParameterValueQueue&) = delete;

    // Gives the queue to another parameter, dropping its points but keeping
    // its reserved room.
    void setParamID(ParamID paramId);
    void clear();

    // IParamValueQueue
    ParamID PLUGIN_API getParameterId() SMTG_OVERRIDE;
    int32 PLUGIN_API getPointCount() SMTG_OVERRIDE;
    tresult PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) SMTG_OVERRIDE;
    // A point at an offset already present replaces that point's value.
    tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32& index) SMTG_OVERRIDE;

    DECLARE_FUNKNOWN_METHODS

private:
    struct Point {
        int32 sampleOffset;
        ParamValue value;
    };
    ParamID paramId_;
    std::vector<Point> points_;
};

} // namespace Vst
} // namespace Steinberg
