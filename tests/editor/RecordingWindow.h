// A stand-in for the editor window that records what it is asked and tells
// its controller what the real window would, and a factory that makes it.
// It lets the editor logic be tested where there is no window system.
#pragma once

#include "editor/EditorWindowFactory.h"
#include "editor/IWindow.h"
#include "editor/IWindowController.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talven::test {

using Steinberg::int32;
using Steinberg::Vst::EditorHost::IWindow;
using Steinberg::Vst::EditorHost::IWindowController;
using Steinberg::Vst::EditorHost::NativePlatformWindow;
using Steinberg::Vst::EditorHost::PositionCallback;
using Steinberg::Vst::EditorHost::Size;

using Steinberg::Vst::EditorHost::WindowTask;

// Work handed to the thread that made a window, run when that thread pumps:
// what the Win32 window does with its thread's message queue.
class OwnerTaskQueue {
public:
    void post(std::unique_ptr<WindowTask> task);
    // Runs every queued task on the calling thread; how many ran.
    int pump();
    std::size_t pending() const;

private:
    mutable std::mutex lock_;
    std::deque<std::unique_ptr<WindowTask>> tasks_;
};

class RecordingWindow : public IWindow {
public:
    RecordingWindow(const char* title, Size contentSize, bool resizable, WindowControllerPtr controller);

    // What it was asked, in order: "show 10,20", "show", "close", "resize 500x300",
    // "setPositionCallback".
    std::vector<std::string> calls;
    std::string title;      // as given; "(null)" for none
    bool resizable = false;
    bool visible = false;
    int32 left = 0;         // where the last show put it
    int32 top = 0;
    const char* platformType; // what getNativePlatformWindow reports

    // The user's close button: reports, hides and detaches, as the real
    // window does.
    void userClose();
    // The user drags a border towards proposed: the controller decides.
    void userResize(Size proposed);

    //---IWindow---
    void show(int32 x, int32 y) override;
    void show() override;
    void close() override;
    void resize(Size newSize) override;
    Size getContentSize() override { return size_; }
    void setPositionCallback(PositionCallback callback) override;
    NativePlatformWindow getNativePlatformWindow() const override;
    Steinberg::tresult queryInterface(const Steinberg::TUID iid, void** obj) override;
    // With an owner queue, work from another thread than the window's goes to
    // it; otherwise (and on the window's own thread) it is given back.
    std::unique_ptr<WindowTask> handToOwnerThread(std::unique_ptr<WindowTask> task) override;

    std::shared_ptr<OwnerTaskQueue> ownerQueue;
    std::thread::id owner = std::this_thread::get_id();

private:
    void report(int32 closing) const;

    WindowControllerPtr controller_;
    Size size_;
    bool callbackSet_ = false;
    PositionCallback callback_ = nullptr;
};

// Makes RecordingWindows and keeps a reference to each, in order, while it
// is installed; or, with fail set, makes none.
class RecordingWindowFactory : public EditorWindowFactory {
public:
    RecordingWindowFactory();  // installs itself
    ~RecordingWindowFactory() override; // puts the previous factory back

    std::vector<std::shared_ptr<RecordingWindow>> made;
    bool fail = false;
    int requests = 0;
    // Set: windows made from now on take work from other threads through it.
    std::shared_ptr<OwnerTaskQueue> ownerQueue;

    WindowPtr makeWindow(const char* title, Size contentSize, bool resizable,
                         const WindowControllerPtr& controller) override;

private:
    EditorWindowFactory* previous_;
};

} // namespace talven::test
