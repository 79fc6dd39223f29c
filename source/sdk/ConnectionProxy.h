#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstmessage.h"

namespace Steinberg {
namespace Vst {

// Stands between two connection points of a plug-in (component and
// controller), so that neither holds the other directly: the source is
// connected to this proxy, and every message it sends arrives at the
// destination. The host can cut the link from its side with disconnect().
class ConnectionProxy : public IConnectionPoint {
public:
    explicit ConnectionProxy(IConnectionPoint* source);
    virtual ~ConnectionProxy();
    ConnectionProxy(const ConnectionProxy&) = delete;
    ConnectionProxy& operator=(const ConnectionProxy&) = delete;

    // Cuts the link to the current destination, if any.
    bool disconnect();

    // IConnectionPoint
    // Remembers destination and connects the source to this proxy; fails when
    // a destination is already set or the source refuses.
    tresult PLUGIN_API connect(IConnectionPoint* destination) SMTG_OVERRIDE;
    tresult PLUGIN_API disconnect(IConnectionPoint* destination) SMTG_OVERRIDE;
    // Forwards the source's message to the destination; kResultFalse from
    // inside a block of audio (process on the audio thread).
    tresult PLUGIN_API notify(IMessage* message) SMTG_OVERRIDE;

    DECLARE_FUNKNOWN_METHODS

private:
    IPtr<IConnectionPoint> source_;
    IPtr<IConnectionPoint> destination_;
};

} // namespace Vst
} // namespace Steinberg
