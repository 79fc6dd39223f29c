// What an EditorEffect view keeps running in its host's run loop on Linux
// (Steinberg::Linux::IRunLoop, asked for through the frame, as plug-ins built
// with the common frameworks do): a 10 ms timer that counts its ticks, and a
// handler that reads its child window's connection. Nothing elsewhere.
#pragma once

#include "pluginterfaces/gui/iplugview.h"

#include <memory>

namespace talven::testplugin {

class ViewRunLoop {
public:
    ViewRunLoop();
    ~ViewRunLoop();
    ViewRunLoop(const ViewRunLoop&) = delete;
    ViewRunLoop& operator=(const ViewRunLoop&) = delete;

    // Registers with the frame's run loop when the frame offers one (from
    // attached); stop() unregisters (from removed). The view's thread.
    void start(Steinberg::IPlugFrame* frame, void* child);
    void stop();

private:
    struct Registrations;
    std::unique_ptr<Registrations> registrations_;
};

// Timer ticks of every view so far (of every process sharing the
// record). Any thread.
int runLoopTicks();

} // namespace talven::testplugin
