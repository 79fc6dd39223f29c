#include "ViewRunLoop.h"

namespace talven::testplugin {

// Windows: the view's window has the thread's message queue; no run loop.
struct ViewRunLoop::Registrations {};

ViewRunLoop::ViewRunLoop() = default;
ViewRunLoop::~ViewRunLoop() = default;

void ViewRunLoop::start(Steinberg::IPlugFrame*, void*) {}

void ViewRunLoop::stop() {}

int runLoopTicks()
{
    return 0;
}

} // namespace talven::testplugin
