#include "sdk/PlugProvider.h"

#include "sdk/ModuleLock.h"
#include "sdk/PluginContextFactory.h"

#include "platform/ScopedLock.h"

#include "public.sdk/source/common/memorystream.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <iostream>
#include <utility>

namespace Steinberg {
namespace Vst {

namespace {

void report(const std::string& text)
{
    std::cout << text << std::endl;
}

} // namespace

PlugProvider::PlugProvider(const VST3::Hosting::PluginFactory& factory, VST3::Hosting::ClassInfo classInfo,
                           bool plugIsGlobal)
    : factory_(factory), classInfo_(std::move(classInfo)), plugIsGlobal_(plugIsGlobal)
{
}

PlugProvider::~PlugProvider()
{
    terminatePlugin();
}

// Set-up and take-down run under the module lock: plug-ins may share
// globals between their factory, their instances' initialize and terminate,
// and their module's entry and exit (ModuleLock.h).
bool PlugProvider::initialize()
{
    if (!plugIsGlobal_)
        return false; // a per-plug-in context is not offered by this host
    talven::ScopedLock guard(VST3::Hosting::moduleLock());
    if (setupPlugin(PluginContextFactory::instance().getPluginContext()))
        return true;
    terminatePlugin();
    return false;
}

bool PlugProvider::setupPlugin(FUnknown* hostContext)
{
    component_ = factory_.createInstance<IComponent>(classInfo_.ID());
    if (!component_) {
        report("Failed to create component instance of " + classInfo_.name());
        return false;
    }
    if (component_->initialize(hostContext) != kResultOk) {
        // Kept: terminate lets the component undo a partial initialize.
        report("Failed to initialize component of " + classInfo_.name());
        return false;
    }

    // A single-component plug-in is its own controller, already initialized.
    IEditController* own = nullptr;
    if (component_->queryInterface(IEditController::iid, reinterpret_cast<void**>(&own)) == kResultOk && own) {
        controller_ = owned(own);
        controllerIsComponent_ = true;
        return true;
    }
    if (!createController(hostContext) || !connectComponents())
        return false;
    synchronizeControllerWithComponent();
    return true;
}

// The controller starts from its own defaults; the component's state tells
// it what the processor really runs, as a host does right after connecting
// the two. A component without state (none given, or nothing written) leaves
// the controller as it is.
void PlugProvider::synchronizeControllerWithComponent()
{
    IPtr<MemoryStream> stream = owned(new MemoryStream);
    int64 written = 0;
    if (component_->getState(stream) != kResultOk || stream->tell(&written) != kResultOk || written <= 0)
        return;
    stream->seek(0, IBStream::kIBSeekSet, nullptr);
    controller_->setComponentState(stream);
}

bool PlugProvider::createController(FUnknown* hostContext)
{
    TUID controllerCid = {};
    if (component_->getControllerClassId(controllerCid) != kResultOk) {
        char id[33] = {};
        classInfo_.ID().toString(id);
        report(std::string("Component does not provide a required controller class ID [") + id + "]");
        return false;
    }
    controller_ = factory_.createInstance<IEditController>(FUID::fromTUID(controllerCid));
    if (!controller_) {
        report("Failed to create controller instance of " + classInfo_.name());
        return false;
    }
    if (controller_->initialize(hostContext) != kResultOk) {
        report("Failed to initialize controller of " + classInfo_.name());
        return false;
    }
    return true;
}

bool PlugProvider::connectComponents()
{
    FUnknownPtr<IConnectionPoint> componentPoint(component_);
    FUnknownPtr<IConnectionPoint> controllerPoint(controller_);
    // Without connection points there is nothing to connect; the two parts
    // then work without messages.
    if (!componentPoint || !controllerPoint)
        return true;

    componentProxy_ = owned(new ConnectionProxy(componentPoint));
    controllerProxy_ = owned(new ConnectionProxy(controllerPoint));
    tresult result = componentProxy_->connect(controllerPoint);
    if (result != kResultTrue) {
        report("Failed to connect the component with the controller with result code '" +
               std::to_string(result) + "'");
        return false;
    }
    result = controllerProxy_->connect(componentPoint);
    if (result != kResultTrue) {
        report("Failed to connect the controller with the component with result code '" +
               std::to_string(result) + "'");
        return false;
    }
    return true;
}

void PlugProvider::disconnectComponents()
{
    if (componentProxy_)
        componentProxy_->disconnect();
    if (controllerProxy_)
        controllerProxy_->disconnect();
    componentProxy_ = nullptr;
    controllerProxy_ = nullptr;
}

// Disconnect first, so that neither part messages a terminated peer; the
// controller goes before the component it controls.
void PlugProvider::terminatePlugin()
{
    talven::ScopedLock guard(VST3::Hosting::moduleLock());
    disconnectComponents();
    if (controller_ && !controllerIsComponent_)
        controller_->terminate();
    controller_ = nullptr;
    if (component_)
        component_->terminate();
    component_ = nullptr;
    controllerIsComponent_ = false;
}

tresult PlugProvider::setComponentHandler(IComponentHandler* handler)
{
    if (!controller_)
        return kResultFalse;
    componentHandler_ = handler;
    return controller_->setComponentHandler(handler);
}

uint32 PLUGIN_API PlugProvider::addRef()
{
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 PLUGIN_API PlugProvider::release()
{
    const uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

IComponent* PLUGIN_API PlugProvider::getComponent()
{
    if (component_)
        component_->addRef();
    return component_;
}

IEditController* PLUGIN_API PlugProvider::getController()
{
    if (controller_)
        controller_->addRef();
    return controller_;
}

tresult PLUGIN_API PlugProvider::releasePlugIn(IComponent* component, IEditController* controller)
{
    if (component)
        component->release();
    if (controller)
        controller->release();
    return kResultOk;
}

tresult PLUGIN_API PlugProvider::getSubCategories(IStringResult& result) const
{
    result.setText(classInfo_.subCategoriesString().c_str());
    return kResultTrue;
}

tresult PLUGIN_API PlugProvider::getComponentUID(FUID& uid) const
{
    uid = classInfo_.ID();
    return kResultTrue;
}

IPluginFactory* PLUGIN_API PlugProvider::getPluginFactory()
{
    return factory_.get();
}

} // namespace Vst
} // namespace Steinberg
