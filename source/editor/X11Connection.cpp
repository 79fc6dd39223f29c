#include "editor/X11Connection.h"

#include "editor/EditorThread.h"
#include "editor/X11PluginAtoms.h"
#include "editor/X11Window.h"
#include "editor/XcbConnect.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace talven {
namespace {

constexpr const char* kAtomNames[X11Connection::AtomCount] = {
    "WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME", "UTF8_STRING",
    "_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_FRAME_EXTENTS",
};

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

// The open connection, set and cleared by the connection itself. A plain
// pointer: it must stay usable while the editor thread runs at process exit,
// after static objects with destructors are gone. Editor thread only.
X11Connection* openConnection = nullptr;

const xcb_screen_t* screenOf(xcb_connection_t* connection, int number)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; screens.rem > 0; xcb_screen_next(&screens), --number) {
        if (number == 0)
            return screens.data;
    }
    return nullptr;
}

// The window an event is about, for the events editor windows handle.
xcb_window_t windowOf(const xcb_generic_event_t& event)
{
    switch (event.response_type & 0x7F) {
    case XCB_CONFIGURE_NOTIFY:
        return reinterpret_cast<const xcb_configure_notify_event_t&>(event).window;
    case XCB_CLIENT_MESSAGE:
        return reinterpret_cast<const xcb_client_message_event_t&>(event).window;
    case XCB_REPARENT_NOTIFY:
        return reinterpret_cast<const xcb_reparent_notify_event_t&>(event).window;
    case XCB_PROPERTY_NOTIFY:
        return reinterpret_cast<const xcb_property_notify_event_t&>(event).window;
    case XCB_DESTROY_NOTIFY:
        return reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window;
    default:
        return XCB_WINDOW_NONE; // errors of requests nobody checks included
    }
}

} // namespace

std::shared_ptr<X11Connection> X11Connection::acquire()
{
    if (openConnection)
        return openConnection->shared_from_this();
    EventLoop* const loop = EditorThread::loop();
    if (!loop)
        return nullptr;
    // A busy server (a burst of clients coming and going) may refuse a
    // connection for a moment: asked again a few times before giving up.
    constexpr int kConnectAttempts = 25;
    constexpr std::chrono::milliseconds kConnectPause{20};
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(kConnectPause);
        int screenNumber = 0;
        xcb_connection_t* connection = connectToDisplay(&screenNumber);
        const int error = xcb_connection_has_error(connection);
        const xcb_screen_t* screen = error ? nullptr : screenOf(connection, screenNumber);
        if (screen)
            return std::make_shared<X11Connection>(Token{}, connection, screen, *loop);
        xcb_disconnect(connection); // also for a connection in error, as xcb asks
        // No display named, or one that is not there: asking again changes nothing.
        if (error != XCB_CONN_ERROR)
            return nullptr;
    }
    return nullptr;
}

X11Connection::X11Connection(Token, xcb_connection_t* connection, const xcb_screen_t* screen, EventLoop& loop)
    : connection_(connection), screen_(screen), loop_(loop), loopSerial_(loop.serial())
{
    openConnection = this;
    internAtoms();
    internPluginAtoms(connection_);
    fdWatch_ = loop_.watchFd(xcb_get_file_descriptor(connection_), [this] { dispatch(true); });
    // Replies read ahead of events leave those events in xcb's queue, where
    // the wait would not see them; requests must reach the server first.
    beforeWait_ = loop_.beforeEachWait([this] {
        xcb_flush(connection_);
        dispatch(false);
    });
}

X11Connection::~X11Connection()
{
    if (openConnection == this)
        openConnection = nullptr;
    // Off the loop's thread (after the editor thread was stopped at exit) the
    // loop is gone; the connection still closes.
    const EventLoop* const current = EditorThread::loop();
    if (current == &loop_ && current->serial() == loopSerial_) {
        loop_.remove(fdWatch_);
        loop_.remove(beforeWait_);
    }
    xcb_disconnect(connection_);
}

void X11Connection::internAtoms()
{
    xcb_intern_atom_cookie_t cookies[AtomCount];
    for (int i = 0; i < AtomCount; ++i)
        cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames[i])),
                                     kAtomNames[i]);
    for (int i = 0; i < AtomCount; ++i) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        atoms_[i] = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }
}

void X11Connection::addWindow(xcb_window_t id, std::weak_ptr<Steinberg::Vst::EditorHost::X11Window> window)
{
    windows_[id] = std::move(window);
}

void X11Connection::removeWindow(xcb_window_t id)
{
    windows_.erase(id);
}

float X11Connection::contentScaleFactor() const
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection_, 0, screen_->root,
                                                              XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 16384);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
    if (!reply || reply->format != 8)
        return 1.0f;
    const std::string resources(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    const std::string key = "Xft.dpi:";
    const std::size_t at = resources.find(key);
    if (at == std::string::npos || (at != 0 && resources[at - 1] != '\n'))
        return 1.0f;
    const double dpi = std::strtod(resources.c_str() + at + key.size(), nullptr);
    return dpi > 0.0 ? static_cast<float>(dpi / 96.0) : 1.0f;
}

void X11Connection::dispatch(bool readSocket)
{
    // A window's handling may let go of the last window, and with it of this.
    const std::shared_ptr<X11Connection> keepAlive = shared_from_this();
    for (;;) {
        XcbReply<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(connection_)
                                                       : xcb_poll_for_queued_event(connection_));
        if (!event)
            break;
        deliver(*event);
    }
    // A lost server leaves a descriptor that only hangs up: stop waiting on it.
    // The windows stay, doing nothing, until their holders let go.
    if (xcb_connection_has_error(connection_) && fdWatch_ != 0) {
        loop_.remove(fdWatch_);
        fdWatch_ = 0;
    }
}

void X11Connection::deliver(const xcb_generic_event_t& event)
{
    const auto found = windows_.find(windowOf(event));
    if (found == windows_.end())
        return;
    // Held for the event: its handling may let go of every other reference.
    if (const std::shared_ptr<Steinberg::Vst::EditorHost::X11Window> window = found->second.lock())
        window->handleEvent(event);
}

} // namespace talven
