#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>

namespace talven {
struct PluginInstance;
}

// The host's IComponentHandler for one plug-in instance: carries the
// controller's edits to the audio side through the instance's transfer ring
// and refuses every other request. It is owned by its instance, not
// reference counted, and must outlive the plug-in's controller, which keeps
// a pointer to it.
class ComponentHandler : public Steinberg::Vst::IComponentHandler {
public:
    explicit ComponentHandler(talven::PluginInstance& instance) : instance_(&instance) {}
    virtual ~ComponentHandler() = default;
    ComponentHandler(const ComponentHandler&) = delete;
    ComponentHandler& operator=(const ComponentHandler&) = delete;

    // FUnknown: answers no interface; counts nothing.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
    Steinberg::uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
    Steinberg::uint32 PLUGIN_API release() SMTG_OVERRIDE;

    // IComponentHandler: any thread the controller reports edits on, also
    // while TALVEN_SetParam writes the same transfer on another.
    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) SMTG_OVERRIDE;
    // Queues (id, value, offset 0) for the next block without a lock; an edit
    // made while the transfer is full is lost.
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                              Steinberg::Vst::ParamValue valueNormalized) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) SMTG_OVERRIDE;
    // No restart request is acted upon: processing keeps its set-up.
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) SMTG_OVERRIDE;

    // Null cuts the handler off from its instance before it goes to another
    // thread that may release it after the instance is gone: edits are then
    // dropped. Any thread.
    void setInstance(talven::PluginInstance* instance) { instance_.store(instance); }

private:
    std::atomic<talven::PluginInstance*> instance_;
};
