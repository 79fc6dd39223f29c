#pragma once

#include "editor/IWindow.h"
#include "host/ChannelBuffers.h"
#include "host/ComponentHandler.h"
#include "platform/RecursiveLock.h"
#include "sdk/HostProcessData.h"
#include "sdk/Module.h"
#include "sdk/ParameterChangeTransfer.h"
#include "sdk/ParameterChanges.h"
#include "sdk/PlugProvider.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace Steinberg::Vst::EditorHost {
class WindowController;
}

namespace talven {

// The record behind one instance handle. Callers never see it; they hold its
// handle and reach the record through refHandle/unrefHandle.
struct PluginInstance {
    std::uint32_t handle = 0; // 0 until registered
    // Cleared by the channel-freed sync without the instance lock.
    std::atomic<std::uint32_t> channel{0};
    std::atomic<std::uint32_t> dspHandle{0};
    // Module whose release is deferred at destruction. Module lifetime belongs
    // to the plug-in module object, so nothing sets it.
    void* moduleHandle = nullptr;
    // 1 while bypassed; read by the audio thread without the instance lock.
    std::atomic<std::uint32_t> bypass{0};
    // The instance lock: held by a block in progress and by what must not
    // overlap one (the switch between processing and bypass, the detach's
    // freeing of the block buffers). Never held across a call into the
    // program.
    RecursiveLock lock;
    std::int32_t holds = 0; // guarded by the handle-table lock
    // Serialises the calls that change the plug-in's activation (attach's
    // set-up, bypass, the detach's switch-off), which VST 3 wants one at a
    // time. Never taken by the audio thread or held across a call into the
    // program; re-entrant, so a plug-in calling back on the same thread does
    // not deadlock.
    RecursiveLock controlLock;
    // True while the component is active (setActive(true) succeeded and no
    // setActive(false) followed): only an active component is switched off.
    // Changed under controlLock.
    std::atomic<bool> active{false};
    VST3::Hosting::Module::Ptr module;                      // empty until instantiation
    // Null until instantiation succeeds. Written only with both the instance
    // lock and providerLock held, so the audio thread (instance lock) and the
    // lock-free callers (providerLock, see ProviderAccess.h) both read it safely.
    Steinberg::IPtr<Steinberg::Vst::PlugProvider> plugProvider;
    std::mutex providerLock;
    // The editor (editor/EditorHosting.h): the window that shows the plug-in's
    // view and the controller that joins the two; empty until an editor is
    // opened. Both, and editorClosed, are read and written only under
    // editorLock, which is held for nothing else: never across a call into
    // the plug-in or the program.
    std::shared_ptr<Steinberg::Vst::EditorHost::IWindow> window;
    std::shared_ptr<Steinberg::Vst::EditorHost::WindowController> windowController;
    // Set when the detach or the destruction took the editor away for good:
    // an editor opened meanwhile on another thread is closed, not kept.
    bool editorClosed = false;
    std::mutex editorLock;

    // Made by the attach, freed by the detach; the audio thread uses them
    // under the instance lock only.
    std::unique_ptr<Steinberg::Vst::HostProcessData> processData;
    std::unique_ptr<ChannelBuffers> channelBuffers;
    double sampleRate = 0;      // the channel's, in Hz; 0 until the attach reads it
    std::int32_t blockSize = 0; // most frames the plug-in gets in one process call
    std::atomic<bool> processing{false};
    // The channel carries float samples itself; otherwise its DSP data is
    // float only while BASS's float DSP is on. Set before the DSP is.
    bool floatChannel = false;
    // True while the attachment's own hold is still owed. Whichever of the
    // detach and the channel-freed sync clears it releases that hold; the
    // other finds it clear and releases nothing.
    std::atomic<bool> attached{false};
    std::uint32_t syncHandle = 0;
    // Queues of 1024 parameters, 5 points each, made with the record.
    std::unique_ptr<Steinberg::Vst::ParameterChanges> inputChanges;
    std::unique_ptr<Steinberg::Vst::ParameterChanges> outputChanges;
    // 2048 entries: the component handler and TALVEN_SetParam write (any
    // threads), the audio thread reads. Shared with the handler, which may
    // outlive the instance.
    std::shared_ptr<Steinberg::Vst::ParameterChangeTransfer> paramTransfer;
    // The plug-in's provider holds a reference of its own until the plug-in
    // is terminated.
    Steinberg::IPtr<ComponentHandler> componentHandler;
};

} // namespace talven
