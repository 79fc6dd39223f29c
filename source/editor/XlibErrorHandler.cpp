#include "editor/XlibErrorHandler.h"

#include "editor/EditorThread.h"
#include "log/TraceLog.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>

namespace talven {
namespace {

using SetErrorHandler = XErrorHandler (*)(XErrorHandler);

// The program's own handler, or null when it had none (Xlib's default). Set
// before Talven's handler is installed and read by it from any thread.
std::atomic<XErrorHandler> programHandler{nullptr};

// Called by Xlib on the thread that read the error, with Xlib's global lock
// held: may not call Xlib back (XGetErrorText would be fine, but a trace line
// with the codes is enough).
int ignorePluginError(Display* display, XErrorEvent* error)
{
    if (!EditorThread::isCurrent()) {
        if (const XErrorHandler program = programHandler.load())
            return program(display, error);
    }
    char line[160];
    std::snprintf(line, sizeof(line), "X error %u (request %u.%u, resource 0x%lx) on a plug-in's connection ignored",
                  static_cast<unsigned>(error->error_code), static_cast<unsigned>(error->request_code),
                  static_cast<unsigned>(error->minor_code), static_cast<unsigned long>(error->resourceid));
    writeTraceLine(line);
    return 0;
}

// Xlib, opened once and never closed: the handler's owner goes on the
// editor thread, and a dlclose there would wait for the loader lock that an
// unload joining that thread holds.
void* xlibLibrary()
{
    static void* const library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    return library;
}

SetErrorHandler setErrorHandlerIn(void* library)
{
    return library ? reinterpret_cast<SetErrorHandler>(dlsym(library, "XSetErrorHandler")) : nullptr;
}

// Xlib's XSetErrorHandler while Talven's handler is installed; null otherwise.
std::atomic<SetErrorHandler> installedWith{nullptr};

// Puts the program's handler back, unless another replaced Talven's.
void uninstall()
{
    const SetErrorHandler setHandler = installedWith.exchange(nullptr);
    if (!setHandler)
        return;
    const XErrorHandler current = setHandler(programHandler.load());
    if (current != ignorePluginError)
        setHandler(current);
}

// At library unload or process exit an editor may still be up: Talven's
// handler must not outlive its code.
struct UninstallAtUnload {
    ~UninstallAtUnload() { uninstall(); }
} uninstallAtUnload;

} // namespace

XlibErrorHandler::XlibErrorHandler()
{
    const SetErrorHandler setHandler = setErrorHandlerIn(xlibLibrary());
    if (!setHandler)
        return;
    installed_ = true;
    // Null installs Xlib's default and hands back what was current; the
    // default's address then comes back from the second call, which tells a
    // program's own handler from it.
    const XErrorHandler previous = setHandler(nullptr);
    const XErrorHandler xlibDefault = setHandler(ignorePluginError);
    programHandler.store(previous == xlibDefault || previous == ignorePluginError ? nullptr : previous);
    installedWith.store(setHandler);
}

XlibErrorHandler::~XlibErrorHandler()
{
    if (installed_)
        uninstall();
}

} // namespace talven
