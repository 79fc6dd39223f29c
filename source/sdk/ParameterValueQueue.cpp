#include "sdk/ParameterValueQueue.h"

namespace Steinberg {
namespace Vst {

IMPLEMENT_FUNKNOWN_METHODS(ParameterValueQueue, IParamValueQueue, IParamValueQueue::iid)

ParameterValueQueue::ParameterValueQueue(ParamID paramId) : paramId_(paramId)
{
    FUNKNOWN_CTOR
    points_.reserve(kReservedPoints);
}

ParameterValueQueue::~ParameterValueQueue()
{
    FUNKNOWN_DTOR
}

void ParameterValueQueue::setParamID(ParamID paramId)
{
    paramId_ = paramId;
    points_.clear();
}

void ParameterValueQueue::clear()
{
    points_.clear();
}

ParamID PLUGIN_API ParameterValueQueue::getParameterId()
{
    return paramId_;
}

int32 PLUGIN_API ParameterValueQueue::getPointCount()
{
    return static_cast<int32>(points_.size());
}

tresult PLUGIN_API ParameterValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value)
{
    if (index < 0 || index >= getPointCount())
        return kResultFalse;
    sampleOffset = points_[static_cast<size_t>(index)].sampleOffset;
    value = points_[static_cast<size_t>(index)].value;
    return kResultTrue;
}

tresult PLUGIN_API ParameterValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index)
{
    size_t position = 0;
    while (position < points_.size() && points_[position].sampleOffset < sampleOffset)
        ++position;
    if (position < points_.size() && points_[position].sampleOffset == sampleOffset)
        points_[position].value = value;
    else
        points_.insert(points_.begin() + static_cast<std::ptrdiff_t>(position), Point{sampleOffset, value});
    index = static_cast<int32>(position);
    return kResultTrue;
}

} // namespace Vst
} // namespace Steinberg
