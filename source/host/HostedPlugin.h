#pragma once

#include "host/ComponentHandler.h"
#include "host/ParameterReports.h"
#include "host/RestartRequests.h"
#include "platform/RecursiveLock.h"
#include "sdk/ControllerReference.h"
#include "sdk/Module.h"
#include "sdk/ParameterChangeTransfer.h"
#include "sdk/PlugProvider.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace talven {

// One plug-in as the host side keeps it: its module, the provider of its
// component and controller, the component handler and the edits queued for
// its processor, its processing state, and the two locks that order the
// calls into it.
class HostedPlugin {
public:
    // Edits that wait for the processor's next block (see
    // ParameterChangeTransfer: one slot always stays free).
    static constexpr Steinberg::int32 kTransferEntries = 2048;

    // Makes the transfer and the handler. May throw std::bad_alloc.
    HostedPlugin();
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    // The provider with a reference of the caller's: the plug-in stays alive
    // until the caller lets go, whatever a detach on another thread does.
    // Null before instantiation and after the detach. Any thread.
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider() const;
    // Its controller, kept alive the same way; empty without one. Any thread.
    Steinberg::Vst::ControllerReference controller() const;
    // Replaces the provider (null takes it away) and returns the old one for
    // the caller to release outside every lock. Caller holds the instance
    // lock, so that no block uses the plug-in meanwhile.
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> exchangeProvider(Steinberg::IPtr<Steinberg::Vst::PlugProvider> next);
    // Whether there is a provider, without taking its lock: for the audio
    // thread, which reads it under the instance lock.
    bool hasProvider() const { return hasProvider_.load(std::memory_order_acquire); }

    // The plug-in's library; shared with every instance of it.
    VST3::Hosting::Module::Ptr module;
    // 2048 entries: the component handler and TALVEN_SetParam write (any
    // threads), the audio thread reads. Shared with the handler, which may
    // outlive the plug-in's instance.
    std::shared_ptr<Steinberg::Vst::ParameterChangeTransfer> paramTransfer;
    // The program's parameter callback; shared with the handler likewise.
    std::shared_ptr<ParameterReports> reports;
    // The restarts the plug-in asked for; shared with the handler likewise.
    std::shared_ptr<RestartRequests> restarts;
    // The plug-in's provider holds a reference of its own until the plug-in
    // is terminated.
    Steinberg::IPtr<ComponentHandler> componentHandler;

    // The instance lock: held by a block in progress and by what must not
    // overlap one (taking the plug-in away, handing it queued edits, the
    // switch into bypass passing through it once). Never held across a call
    // into the program or a long plug-in call.
    RecursiveLock lock;
    // Serialises the calls that change the plug-in's activation and state
    // (set-up, bypass, the detach's switch-off, presets), which VST 3 wants
    // one at a time. Never taken by the audio thread, never held across a call
    // into the program; re-entrant, so a plug-in calling back on the same
    // thread does not deadlock.
    RecursiveLock controlLock;

    // True once processing was switched on; cleared when the channel goes.
    std::atomic<bool> processing{false};
    // 1 while bypassed; read by the audio thread without a lock.
    std::atomic<std::uint32_t> bypass{0};
    // True while the component is active (setActive(true) succeeded, no
    // setActive(false) since): only an active component is switched off.
    // Changed under controlLock.
    std::atomic<bool> active{false};
    // True while a restart sets the plug-in up again: blocks pass dry without
    // touching the plug-in or its block processor. Changed under controlLock
    // and passed through the instance lock.
    std::atomic<bool> restarting{false};
    // True while the main buses are activated (set up for processing, not
    // yet released at the switch-off). Changed under controlLock.
    std::atomic<bool> busesActive{false};
    // Counts the activations (setActive(true)); the process context's
    // continuous time starts again at each.
    std::atomic<std::uint32_t> activations{0};
    // The channel's sample rate, in Hz; 0 until processing is set up.
    double sampleRate = 0;
    // Whether the plug-in offers an editor view: -1 until first needed
    // (offersEditor in Instantiation.h, or an editor shown), then 0 or 1.
    std::atomic<int> editorOffer{-1};

private:
    mutable std::mutex providerLock_; // guards provider_ for the lock-free readers
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> provider_;
    std::atomic<bool> hasProvider_{false};
};

} // namespace talven
