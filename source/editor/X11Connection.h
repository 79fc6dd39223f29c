#pragma once

#include "editor/EventLoop.h"
#include "editor/XlibErrorHandler.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <memory>

namespace Steinberg::Vst::EditorHost {
class X11Window;
}

namespace talven {

// The editor thread's connection to the X server (through xcb, whose errors
// come back as events instead of ending the process as Xlib's default
// handler would; see XlibErrorHandler for plug-ins' own Xlib connections).
// Shared by the editor windows: opened with the first and
// closed when the last lets go. While open, its descriptor is watched in the
// editor thread's event loop and its events go to the windows they name.
// Editor thread only.
class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    enum Atom {
        WmProtocols,
        WmDeleteWindow,
        NetWmName,
        Utf8String,
        NetWmState,
        NetWmStateAbove,
        NetFrameExtents,
        AtomCount
    };

    // The open connection, or a new one on the display that DISPLAY names;
    // null when there is no editor thread loop to serve it or no display.
    static std::shared_ptr<X11Connection> acquire();

    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* get() const { return connection_; }
    const xcb_screen_t& screen() const { return *screen_; }
    xcb_atom_t atom(Atom which) const { return atoms_[which]; }

    // Events for window id go to window while it lives.
    void addWindow(xcb_window_t id, std::weak_ptr<Steinberg::Vst::EditorHost::X11Window> window);
    void removeWindow(xcb_window_t id);

    // The desktop's scale: the Xft.dpi resource over 96, 1 without one.
    float contentScaleFactor() const;

private:
    struct Token {};

public:
    X11Connection(Token, xcb_connection_t* connection, const xcb_screen_t* screen, EventLoop& loop);

private:
    void internAtoms();
    // Hands every event already read to its window; with readSocket, reads
    // what the server sent too.
    void dispatch(bool readSocket);
    void deliver(const xcb_generic_event_t& event);

    // Installed for as long as editors are hosted: first made, last gone.
    XlibErrorHandler xlibErrors_;
    xcb_connection_t* connection_;
    const xcb_screen_t* screen_;
    EventLoop& loop_;
    std::uint64_t loopSerial_;
    EventLoop::Id fdWatch_ = 0;
    EventLoop::Id beforeWait_ = 0;
    xcb_atom_t atoms_[AtomCount] = {};
    std::map<xcb_window_t, std::weak_ptr<Steinberg::Vst::EditorHost::X11Window>> windows_;
};

} // namespace talven
