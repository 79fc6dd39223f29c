#include "host/ComponentHandler.h"

#include "registry/PluginInstance.h"

using namespace Steinberg;

namespace {
// What addRef and release answer: the handler's life is its instance's.
constexpr uint32 kUncountedReferences = 1000;
} // namespace

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID, void** obj)
{
    if (obj)
        *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API ComponentHandler::addRef()
{
    return kUncountedReferences;
}

uint32 PLUGIN_API ComponentHandler::release()
{
    return kUncountedReferences;
}

tresult PLUGIN_API ComponentHandler::beginEdit(Vst::ParamID)
{
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::performEdit(Vst::ParamID id, Vst::ParamValue valueNormalized)
{
    talven::PluginInstance* const instance = instance_.load();
    if (instance && instance->paramTransfer)
        instance->paramTransfer->addChange(id, valueNormalized, 0);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit(Vst::ParamID)
{
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::restartComponent(int32)
{
    return kNotImplemented;
}
