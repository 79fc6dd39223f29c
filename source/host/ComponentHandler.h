#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <atomic>
#include <memory>

namespace Steinberg::Vst {
class ParameterChangeTransfer;
}
namespace talven {
class ParameterReports;
class RestartRequests;
}

// The host's IComponentHandler for one plug-in instance: carries the
// controller's edits to the audio side through the instance's transfer ring,
// and tells the program's parameter callback of them.
//
// Reference counted for real: the plug-in's controller may call it until it
// is terminated, and the last holder of the plug-in (a parameter or preset
// call on another thread, an editor teardown on the window's thread) may
// release the plug-in after the instance itself is gone. The plug-in's
// provider therefore holds a reference until after the termination, and the
// handler shares the transfer instead of pointing at the instance.
class ComponentHandler : public Steinberg::Vst::IComponentHandler {
public:
    // Starts with one reference, the caller's. Any may be null.
    static Steinberg::IPtr<ComponentHandler> make(std::shared_ptr<Steinberg::Vst::ParameterChangeTransfer> transfer,
                                                  std::shared_ptr<talven::ParameterReports> reports = nullptr,
                                                  std::shared_ptr<talven::RestartRequests> restarts = nullptr);

    ComponentHandler(const ComponentHandler&) = delete;
    ComponentHandler& operator=(const ComponentHandler&) = delete;

    // FUnknown: answers FUnknown and IComponentHandler. Any thread.
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
    Steinberg::uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
    Steinberg::uint32 PLUGIN_API release() SMTG_OVERRIDE;

    // IComponentHandler: any thread the controller reports edits on, also
    // while TALVEN_SetParam writes the same transfer on another.
    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) SMTG_OVERRIDE;
    // Queues (id, value, offset 0) for the next block without a lock (an edit
    // made while the transfer is full is lost), and reports it.
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                              Steinberg::Vst::ParamValue valueNormalized) SMTG_OVERRIDE;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) SMTG_OVERRIDE;
    // kParamValuesChanged and kParamTitlesChanged are reported as a change
    // of every parameter; kLatencyChanged, kIoChanged and kReloadComponent
    // are left for the host to carry out later (RestartRequests). kResultOk
    // when any of those is among flags, else kNotImplemented. Any thread;
    // never waits and never calls the plug-in.
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) SMTG_OVERRIDE;

private:
    ComponentHandler(std::shared_ptr<Steinberg::Vst::ParameterChangeTransfer> transfer,
                     std::shared_ptr<talven::ParameterReports> reports,
                     std::shared_ptr<talven::RestartRequests> restarts);
    virtual ~ComponentHandler();

    std::atomic<Steinberg::uint32> references_{1};
    // Null: edits are dropped. Shared with the instance, which may go first.
    const std::shared_ptr<Steinberg::Vst::ParameterChangeTransfer> transfer_;
    const std::shared_ptr<talven::ParameterReports> reports_;
    const std::shared_ptr<talven::RestartRequests> restarts_;
};
