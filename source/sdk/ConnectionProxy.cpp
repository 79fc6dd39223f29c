#include "sdk/ConnectionProxy.h"

#include "platform/BlockScope.h"

namespace Steinberg {
namespace Vst {

IMPLEMENT_FUNKNOWN_METHODS(ConnectionProxy, IConnectionPoint, IConnectionPoint::iid)

ConnectionProxy::ConnectionProxy(IConnectionPoint* source) : source_(source)
{
    FUNKNOWN_CTOR
}

ConnectionProxy::~ConnectionProxy()
{
    FUNKNOWN_DTOR
}

tresult PLUGIN_API ConnectionProxy::connect(IConnectionPoint* destination)
{
    if (!destination || !source_)
        return kInvalidArgument;
    if (destination_)
        return kResultFalse;
    destination_ = destination;
    const tresult result = source_->connect(this);
    if (result != kResultTrue)
        destination_ = nullptr;
    return result;
}

tresult PLUGIN_API ConnectionProxy::disconnect(IConnectionPoint* destination)
{
    if (!destination || destination != destination_.get())
        return kInvalidArgument;
    if (source_)
        source_->disconnect(this);
    destination_ = nullptr;
    return kResultTrue;
}

bool ConnectionProxy::disconnect()
{
    return disconnect(destination_.get()) == kResultTrue;
}

tresult PLUGIN_API ConnectionProxy::notify(IMessage* message)
{
    // Messages between the plug-in's halves belong to the controller's side,
    // never to the audio thread: one sent from inside process would run the
    // other half's notify (which may allocate, lock or touch the editor) in
    // the middle of a block.
    if (!destination_ || talven::BlockScope::active())
        return kResultFalse;
    return destination_->notify(message);
}

} // namespace Vst
} // namespace Steinberg
