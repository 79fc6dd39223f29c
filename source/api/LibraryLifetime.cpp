#include "editor/EditorWindowFactory.h"
#include "host/HostContext.h"
#include "isolation/IsolatedLink.h"
#include "platform/LoadHooks.h"
#include "platform/ProcessEnd.h"
#include "platform/ThreadTimer.h"
#include "registry/DeferredTeardown.h"
#include "registry/Registry.h"

namespace talven {

// Process-wide state is made here rather than by static construction and
// torn down only here, never by static destructors, so that the order in
// which a process ends cannot pull it from under a thread still using it.
void onLibraryLoad()
{
    registryLoad();
    createHostContext();
    setProcessEndWork(runDeferredTeardowns);
}

// May run after static destructors, with instances still attached and other
// threads still calling in, or (on Linux) never. Whatever it leaves stays
// valid for those threads.
void onLibraryUnload()
{
    // An exit handler that runs after this (the library's own, on dlclose)
    // finds the work done.
    setProcessEndWork(nullptr);
    // BASS outlives this library's code: no DSP, sync or stream function of
    // it may stay on a channel (a program's runtime may unload the library
    // at its end while a channel still plays). First, so that no block comes
    // in while the rest goes.
    takeRegisteredCallbacksOffBass();
    // Editor closes handed to a window's thread that ended before running
    // them still hold their plug-ins: those go now, while their code and the
    // host object are still there. The editor thread ends first, finishing
    // the closes handed to it; what it and the audio thread left undone
    // (terminations, module unloads) is done here.
    // Plug-ins in processes of their own: those processes end, and the
    // threads that serve them with them.
    closeAllIsolatedLinks();
    stopEditorThread();
    releaseAbandonedEditors();
    runDeferredTeardowns();
    registryUnload();
    // No timer thread may run the library's code once it can be unmapped.
    stopAllThreadTimers();
    releaseHostContext();
}

} // namespace talven
