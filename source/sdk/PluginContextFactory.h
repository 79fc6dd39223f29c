#pragma once

#include "pluginterfaces/base/funknown.h"

#include <atomic>

namespace Steinberg {

// The process-wide plug-in context: the host object every plug-in set up in
// "global" mode is initialized with. It holds no reference; the context must
// outlive every plug-in initialized with it.
class PluginContextFactory {
public:
    static PluginContextFactory& instance();

    // Any thread.
    void setPluginContext(FUnknown* context) { context_.store(context); }
    FUnknown* getPluginContext() const { return context_.load(); }

private:
    PluginContextFactory() = default;
    std::atomic<FUnknown*> context_{nullptr};
};

} // namespace Steinberg
