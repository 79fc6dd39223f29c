#pragma once

#include "sdk/ClassInfo.h"
#include "sdk/ConnectionProxy.h"
#include "sdk/PluginFactory.h"

#include "base/source/fobject.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivsttestplugprovider.h"

#include <atomic>
#include <string>

namespace Steinberg {
namespace Vst {

// Makes one plug-in out of a factory class: creates its component and edit
// controller, initializes both, connects them through connection proxies and
// gives the controller the component's state. Going away, it undoes all of
// that in reverse order. Set-up and take-down run under the module lock
// (ModuleLock.h). Set-up failures are reported on standard output.
class PlugProvider : public FObject, public ITestPlugProvider2 {
public:
    // plugIsGlobal: initialize the plug-in with the process-wide context of
    // PluginContextFactory (the only mode this host uses).
    PlugProvider(const VST3::Hosting::PluginFactory& factory, VST3::Hosting::ClassInfo classInfo,
                 bool plugIsGlobal = true);
    ~PlugProvider() override;
    PlugProvider(const PlugProvider&) = delete;
    PlugProvider& operator=(const PlugProvider&) = delete;

    // Creates, initializes and connects component and controller. False when
    // any step fails; what was made so far is then undone.
    bool initialize();

    // Gives the controller the host's component handler and keeps a
    // reference to it until the plug-in is terminated: a controller may call
    // its handler up to its termination, which happens when the last holder
    // of this provider lets go, on whatever thread that is.
    tresult setComponentHandler(IComponentHandler* handler);

    // The class this provider made its plug-in of.
    const VST3::Hosting::ClassInfo& classInfo() const { return classInfo_; }

    // ITestPlugProvider: each returns an added reference, or null.
    IComponent* PLUGIN_API getComponent() SMTG_OVERRIDE;
    IEditController* PLUGIN_API getController() SMTG_OVERRIDE;
    tresult PLUGIN_API releasePlugIn(IComponent* component, IEditController* controller) SMTG_OVERRIDE;
    tresult PLUGIN_API getSubCategories(IStringResult& result) const SMTG_OVERRIDE;
    tresult PLUGIN_API getComponentUID(FUID& uid) const SMTG_OVERRIDE;
    // ITestPlugProvider2: no added reference.
    IPluginFactory* PLUGIN_API getPluginFactory() SMTG_OVERRIDE;

    OBJ_METHODS(PlugProvider, FObject)
    DEFINE_INTERFACES
        DEF_INTERFACE(ITestPlugProvider)
        DEF_INTERFACE(ITestPlugProvider2)
    END_DEFINE_INTERFACES(FObject)
    // Counted here rather than by FObject, whose release reads the count
    // again after its decrement: with the provider released on several
    // threads at once (parameter calls racing a detach) that read may land
    // on an object another thread has just deleted.
    uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
    uint32 PLUGIN_API release() SMTG_OVERRIDE;

private:
    std::atomic<uint32> references_{1};

    bool setupPlugin(FUnknown* hostContext);
    bool createController(FUnknown* hostContext);
    bool connectComponents();
    void synchronizeControllerWithComponent();
    void disconnectComponents();
    void terminatePlugin();

    // Declared first, released last: after the controller's termination.
    IPtr<IComponentHandler> componentHandler_;
    VST3::Hosting::PluginFactory factory_;
    VST3::Hosting::ClassInfo classInfo_;
    bool plugIsGlobal_;
    IPtr<IComponent> component_;
    IPtr<IEditController> controller_;
    bool controllerIsComponent_ = false;
    IPtr<ConnectionProxy> componentProxy_;
    IPtr<ConnectionProxy> controllerProxy_;
};

} // namespace Vst
} // namespace Steinberg
