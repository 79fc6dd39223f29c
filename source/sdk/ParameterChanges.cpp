#include "sdk/ParameterChanges.h"

namespace Steinberg {
namespace Vst {

namespace {
constexpr ParamID kUnusedParamId = 0xFFFFFFFF;
}

IMPLEMENT_FUNKNOWN_METHODS(ParameterChanges, IParameterChanges, IParameterChanges::iid)

ParameterChanges::ParameterChanges(int32 maxParameters)
{
    FUNKNOWN_CTOR
    setMaxParameters(maxParameters);
}

ParameterChanges::~ParameterChanges()
{
    FUNKNOWN_DTOR
}

void ParameterChanges::setMaxParameters(int32 maxParameters)
{
    if (maxParameters <= getQueueCapacity())
        return;
    queues_.reserve(static_cast<size_t>(maxParameters));
    while (getQueueCapacity() < maxParameters)
        queues_.push_back(owned(new ParameterValueQueue(kUnusedParamId)));
}

void ParameterChanges::clearQueue()
{
    usedQueueCount_ = 0;
}

int32 PLUGIN_API ParameterChanges::getParameterCount()
{
    return usedQueueCount_;
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index)
{
    if (index < 0 || index >= usedQueueCount_)
        return nullptr;
    return queues_[static_cast<size_t>(index)];
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id, int32& index)
{
    for (int32 i = 0; i < usedQueueCount_; ++i) {
        if (queues_[static_cast<size_t>(i)]->getParameterId() == id) {
            index = i;
            return queues_[static_cast<size_t>(i)];
        }
    }
    if (usedQueueCount_ < getQueueCapacity())
        queues_[static_cast<size_t>(usedQueueCount_)]->setParamID(id);
    else
        queues_.push_back(owned(new ParameterValueQueue(id)));
    index = usedQueueCount_++;
    return queues_[static_cast<size_t>(index)];
}

} // namespace Vst
} // namespace Steinberg
