#include "editor/X11Window.h"

#include "editor/EditorThread.h"
#include "editor/X11WindowTitle.h"

#include "pluginterfaces/gui/iplugview.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace Steinberg::Vst::EditorHost {
namespace {

// How long a moved or resized window must stand still before the move counts
// as finished: X11 has no end-of-drag event as Win32's WM_EXITSIZEMOVE.
constexpr auto kSettleTime = std::chrono::milliseconds(250);

// WM_NORMAL_HINTS (ICCCM WM_SIZE_HINTS): 18 CARD32 fields.
enum SizeHintFlags : std::uint32_t {
    kUserPosition = 1,
    kProgramPosition = 4,
    kMinSize = 16,
    kMaxSize = 32,
    kWinGravity = 512,
};
constexpr std::uint32_t kNorthWestGravity = 1;
constexpr int kSizeHintFields = 18;

// X11 sizes are 16 bits wide, and 0 is not one.
int32 clampExtent(int32 extent)
{
    return std::clamp<int32>(extent, 1, 32767);
}

// Progress lines for whoever watches the program's console.
void writeConsoleLine(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

void setProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                 std::uint8_t format, std::uint32_t count, const void* data)
{
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, format, count, data);
}

// The native window's end, on the editor thread: the run loop retired (it may
// still hold what the view registered), out of the connection's table,
// destroyed, and the connection let go (the last window closes it).
class NativeTeardown : public WindowTask {
public:
    NativeTeardown(std::shared_ptr<talven::X11Connection> connection, xcb_window_t id,
                   IPtr<talven::PlugRunLoop> runLoop, talven::EventLoop::Id settleTimer, talven::EventLoop::Id idleTimer)
        : connection_(std::move(connection)), id_(id), runLoop_(std::move(runLoop)), settleTimer_(settleTimer),
          idleTimer_(idleTimer)
    {
    }

    void run() noexcept override
    {
        if (runLoop_)
            runLoop_->retire();
        runLoop_ = nullptr;
        if (talven::EventLoop* loop = talven::EditorThread::loop()) {
            if (settleTimer_ != 0)
                loop->remove(settleTimer_);
            if (idleTimer_ != 0)
                loop->remove(idleTimer_);
        }
        connection_->removeWindow(id_);
        xcb_destroy_window(connection_->get(), id_);
        xcb_flush(connection_->get());
        connection_.reset();
    }

private:
    std::shared_ptr<talven::X11Connection> connection_;
    xcb_window_t id_;
    IPtr<talven::PlugRunLoop> runLoop_;
    talven::EventLoop::Id settleTimer_;
    talven::EventLoop::Id idleTimer_;
};

bool isStale(std::uint16_t eventSequence, std::uint32_t request)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(eventSequence - static_cast<std::uint16_t>(request)))
           < 0;
}

} // namespace

std::shared_ptr<X11Window> X11Window::make()
{
    return std::make_shared<X11Window>(Token{});
}

X11Window::~X11Window() noexcept
{
    if (id_ == XCB_WINDOW_NONE)
        return;
    // Everything moves into the teardown: a reference left here could be the
    // last and close the connection on this thread.
    auto teardown = std::make_unique<NativeTeardown>(std::move(connection_), id_, std::move(runLoop_), settleTimer_,
                                                     idleTimer_);
    if (talven::EditorThread::isCurrent())
        teardown->run();
    else
        // Given back only when the editor thread was stopped for good (unload
        // or exit): the native window then goes with the process.
        static_cast<void>(talven::EditorThread::post(std::move(teardown)));
}

bool X11Window::init(const char* title, Size contentSize, bool resizable, const WindowControllerPtr& controller)
{
    if (id_ != XCB_WINDOW_NONE || !talven::EditorThread::isCurrent())
        return false;
    connection_ = talven::X11Connection::acquire();
    if (!connection_)
        return false;
    controller_ = controller;
    resizable_ = resizable;
    size_ = {clampExtent(contentSize.width), clampExtent(contentSize.height)};
    xcb_connection_t* const connection = connection_->get();
    const xcb_screen_t& screen = connection_->screen();
    const xcb_window_t id = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen.black_pixel,
                                    XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE};
    const xcb_void_cookie_t created = xcb_create_window_checked(
        connection, XCB_COPY_FROM_PARENT, id, screen.root, 0, 0, static_cast<std::uint16_t>(size_.width),
        static_cast<std::uint16_t>(size_.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual,
        XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    lastRequest_ = created.sequence;
    if (XcbReply<xcb_generic_error_t> error{xcb_request_check(connection, created)}) {
        connection_.reset();
        return false;
    }
    id_ = id;
    setProperties(title);
    setSizeHints(false);
    connection_->addWindow(id_, weak_from_this());
    xcb_flush(connection);
    self_ = shared_from_this();
    return true;
}

bool X11Window::isOutputWindow(talven::X11Connection& connection, xcb_window_t window)
{
    // Asked on the library's connection, through xcb: an id that names no
    // window comes back as this request's error, and never reaches the
    // program's Xlib error handler.
    const xcb_get_window_attributes_cookie_t asked = xcb_get_window_attributes(connection.get(), window);
    xcb_generic_error_t* failure = nullptr;
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection.get(), asked, &failure));
    XcbReply<xcb_generic_error_t> attributesError(failure);
    return attributes && !attributesError && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
}

bool X11Window::canParent(xcb_window_t parent)
{
    if (parent == XCB_WINDOW_NONE || !talven::EditorThread::isCurrent())
        return false;
    const std::shared_ptr<talven::X11Connection> connection = talven::X11Connection::acquire();
    return connection && isOutputWindow(*connection, parent);
}

bool X11Window::initEmbedded(xcb_window_t parent, Size contentSize, const WindowControllerPtr& controller)
{
    if (id_ != XCB_WINDOW_NONE || parent == XCB_WINDOW_NONE || !talven::EditorThread::isCurrent())
        return false;
    connection_ = talven::X11Connection::acquire();
    if (!connection_)
        return false;
    xcb_connection_t* const connection = connection_->get();
    if (!isOutputWindow(*connection_, parent)) {
        connection_.reset();
        return false;
    }
    controller_ = controller;
    embedded_ = true;
    resizable_ = true; // the program sizes its panel; no hints to hold
    size_ = {clampExtent(contentSize.width), clampExtent(contentSize.height)};
    const xcb_window_t id = xcb_generate_id(connection);
    // The parent's depth and visual: a program's window may have any.
    const std::uint32_t values[] = {0, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    const xcb_void_cookie_t created = xcb_create_window_checked(
        connection, XCB_COPY_FROM_PARENT, id, parent, 0, 0, static_cast<std::uint16_t>(size_.width),
        static_cast<std::uint16_t>(size_.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
        XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    lastRequest_ = created.sequence;
    if (XcbReply<xcb_generic_error_t> error{xcb_request_check(connection, created)}) {
        connection_.reset();
        controller_ = nullptr;
        return false;
    }
    id_ = id;
    connection_->addWindow(id_, weak_from_this());
    xcb_flush(connection);
    self_ = shared_from_this();
    return true;
}

void X11Window::setProperties(const char* title)
{
    xcb_connection_t* const connection = connection_->get();
    const xcb_atom_t deleteWindow = connection_->atom(talven::X11Connection::WmDeleteWindow);
    setProperty(connection, id_, connection_->atom(talven::X11Connection::WmProtocols), XCB_ATOM_ATOM, 32, 1,
                &deleteWindow);
    const std::string text = talven::x11WindowTitle(title);
    const auto length = static_cast<std::uint32_t>(text.size());
    setProperty(connection, id_, connection_->atom(talven::X11Connection::NetWmName),
                connection_->atom(talven::X11Connection::Utf8String), 8, length, text.data());
    setProperty(connection, id_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, length, text.data());
    static const char windowClass[] = "talven\0Talven"; // instance and class, each zero-terminated
    setProperty(connection, id_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof(windowClass), windowClass);
    // Above other windows, as the Win32 window's topmost band.
    const xcb_atom_t above = connection_->atom(talven::X11Connection::NetWmStateAbove);
    setProperty(connection, id_, connection_->atom(talven::X11Connection::NetWmState), XCB_ATOM_ATOM, 32, 1, &above);
}

void X11Window::setSizeHints(bool positioned)
{
    std::uint32_t hints[kSizeHintFields] = {};
    // North-west gravity: the position asked for is the frame's outer corner.
    hints[0] = kWinGravity;
    hints[17] = kNorthWestGravity;
    if (positioned) {
        hints[0] |= kUserPosition | kProgramPosition;
        hints[1] = static_cast<std::uint32_t>(expectedOuter_.x);
        hints[2] = static_cast<std::uint32_t>(expectedOuter_.y);
    }
    if (!resizable_) {
        hints[0] |= kMinSize | kMaxSize;
        hints[5] = hints[7] = static_cast<std::uint32_t>(size_.width);
        hints[6] = hints[8] = static_cast<std::uint32_t>(size_.height);
    }
    setProperty(connection_->get(), id_, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, kSizeHintFields,
                hints);
}

void X11Window::configure(std::uint16_t mask, const std::uint32_t* values)
{
    lastRequest_ = xcb_configure_window(connection_->get(), id_, mask, values).sequence;
}

void X11Window::show(int32 x, int32 y)
{
    if (id_ == XCB_WINDOW_NONE)
        return;
    if (embedded_) {
        show(); // always at the parent's top-left corner
        return;
    }
    if (controller_) {
        controller_->onContentScaleFactorChanged(*this, connection_->contentScaleFactor());
        // A view that is not in the window leaves it hidden: nothing to show.
        if (!controller_->onShow(*this))
            return;
    }
    if (x == 0 && y == 0) {
        // Centred by the content size (the view may have resized itself while
        // it was attached); the frame is not counted.
        const xcb_screen_t& screen = connection_->screen();
        x = screen.width_in_pixels / 2 - size_.width / 2;
        y = screen.height_in_pixels / 2 - size_.height / 2;
    }
    expectedOuter_ = {x, y};
    setSizeHints(true);
    const std::uint32_t values[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                                    XCB_STACK_MODE_ABOVE};
    configure(XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_STACK_MODE, values);
    showNow();
}

void X11Window::show()
{
    if (id_ == XCB_WINDOW_NONE)
        return;
    if (controller_) {
        controller_->onContentScaleFactorChanged(*this, connection_->contentScaleFactor());
        // A view that is not in the window leaves it hidden: nothing to show.
        if (!controller_->onShow(*this))
            return;
    }
    showNow();
}

void X11Window::showNow()
{
    xcb_map_window(connection_->get(), id_);
    xcb_flush(connection_->get());
    // A visible window keeps itself alive; one the user closed is cut off
    // from this object and no longer needs to.
    if (!cutOff_)
        self_ = shared_from_this();
    writeConsoleLine("Window::show");
}

void X11Window::close()
{
    // Hidden windows live only as long as their holders (see the class).
    const std::shared_ptr<X11Window> keepAlive = std::move(self_);
    if (id_ == XCB_WINDOW_NONE)
        return;
    retireRunLoop();
    cancelSettle();
    stopIdleTick();
    xcb_connection_t* const connection = connection_->get();
    xcb_unmap_window(connection, id_);
    if (embedded_) {
        // A child has no window manager to tell and no position to report.
        xcb_flush(connection);
        return;
    }
    // ICCCM's withdrawal: a window manager that reparented the window learns
    // of the unmapping from this synthetic event on the root.
    xcb_unmap_notify_event_t withdrawn{};
    withdrawn.response_type = XCB_UNMAP_NOTIFY;
    withdrawn.event = connection_->screen().root;
    withdrawn.window = id_;
    char sent[32] = {}; // every event on the wire is 32 bytes
    static_assert(sizeof(withdrawn) <= sizeof(sent), "event size");
    std::memcpy(sent, &withdrawn, sizeof(withdrawn));
    xcb_send_event(connection, 0, connection_->screen().root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, sent);
    xcb_flush(connection);
    reportPosition(1);
    writeConsoleLine("Window::close");
}

void X11Window::closeImmediately()
{
    const std::shared_ptr<X11Window> keepAlive = shared_from_this();
    // The view leaves first, while the run loop it registered with still
    // answers through its frame; closing retires that loop.
    if (controller_)
        controller_->onClose(*this);
    close();
    cutOff_ = true;
    if (connection_)
        connection_->removeWindow(id_);
    self_.reset();
}

void X11Window::resize(Size newSize)
{
    newSize = {clampExtent(newSize.width), clampExtent(newSize.height)};
    if (id_ == XCB_WINDOW_NONE || newSize == size_)
        return;
    size_ = newSize;
    if (!resizable_ && !embedded_)
        setSizeHints(true);
    const std::uint32_t values[] = {static_cast<std::uint32_t>(size_.width),
                                    static_cast<std::uint32_t>(size_.height)};
    configure(XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(connection_->get());
    // The size event arrives later on X11; the controller hears of the size
    // now, before this returns, as it does from the Win32 window.
    if (controller_)
        controller_->onResize(*this, size_);
}

Size X11Window::getContentSize()
{
    return size_;
}

void X11Window::setPositionCallback(PositionCallback callback)
{
    if (!callbackSet_.exchange(true))
        positionCallback_.store(callback);
}

NativePlatformWindow X11Window::getNativePlatformWindow() const
{
    return {kPlatformTypeX11EmbedWindowID, reinterpret_cast<void*>(static_cast<std::uintptr_t>(id_))};
}

tresult X11Window::queryInterface(const TUID iid, void** obj)
{
    if (!obj || !FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
        return kNoInterface;
    if (id_ == XCB_WINDOW_NONE || cutOff_ || !talven::EditorThread::isCurrent())
        return kNoInterface;
    if (!runLoop_)
        runLoop_ = owned(new talven::PlugRunLoop());
    runLoop_->addRef();
    *obj = static_cast<Linux::IRunLoop*>(runLoop_.get());
    return kResultOk;
}

std::unique_ptr<WindowTask> X11Window::handToOwnerThread(std::unique_ptr<WindowTask> task)
{
    if (!task || talven::EditorThread::isCurrent())
        return task;
    return talven::EditorThread::post(std::move(task));
}

void X11Window::handleEvent(const xcb_generic_event_t& event)
{
    if (cutOff_)
        return;
    if (embedded_) {
        // Its size is set only from here; the parent's destruction takes it.
        const auto& destroyed = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if ((event.response_type & 0x7F) == XCB_DESTROY_NOTIFY && destroyed.window == id_)
            onDestroyed();
        return;
    }
    switch (event.response_type & 0x7F) {
    case XCB_CONFIGURE_NOTIFY:
        onConfigure(reinterpret_cast<const xcb_configure_notify_event_t&>(event));
        break;
    case XCB_CLIENT_MESSAGE: {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (message.type == connection_->atom(talven::X11Connection::WmProtocols) && message.format == 32
            && message.data.data32[0] == connection_->atom(talven::X11Connection::WmDeleteWindow)) {
            // The close button, as Win32's WM_CLOSE: reported, then hidden
            // (reported again) and the view taken out; the window stays.
            reportPosition(1);
            closeImmediately();
        }
        break;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto& reparent = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
        parentIsRoot_ = reparent.parent == connection_->screen().root;
        break;
    }
    default:
        break;
    }
}

void X11Window::onDestroyed()
{
    const std::shared_ptr<X11Window> keepAlive = shared_from_this();
    // The view's own window went with ours; it is removed still, while its
    // run loop answers, and let go. What it asks of the server about its
    // windows now fails on its connection, on this thread, where the
    // library's Xlib handler keeps the errors from the program.
    if (controller_)
        controller_->onClose(*this);
    retireRunLoop();
    cancelSettle();
    stopIdleTick();
    connection_->removeWindow(id_);
    id_ = XCB_WINDOW_NONE; // nothing left to destroy
    connection_.reset();
    lost_ = true;
    cutOff_ = true;
    self_.reset();
}

void X11Window::onConfigure(const xcb_configure_notify_event_t& event)
{
    // Made before the last request of ours took effect: a later event tells
    // the outcome.
    if (event.window != id_ || isStale(event.sequence, lastRequest_))
        return;
    bool changed = false;
    const Size reported{event.width, event.height};
    if (reported != size_) {
        onUserResize(reported);
        changed = true;
    }
    // Root coordinates: a window manager's synthetic event, or a window that
    // is still the root's child. A reparented window's real events give its
    // place in the frame, which moves with it.
    const bool synthetic = (event.response_type & 0x80) != 0;
    if (synthetic || parentIsRoot_) {
        const Point outer = outerPosition();
        if (outer.x != expectedOuter_.x || outer.y != expectedOuter_.y) {
            expectedOuter_ = outer;
            changed = true;
        }
    }
    if (changed)
        settleLater();
}

void X11Window::onUserResize(Size proposed)
{
    Size accepted = proposed;
    if (resizable_ && controller_)
        accepted = controller_->constrainSize(*this, proposed);
    accepted = {clampExtent(accepted.width), clampExtent(accepted.height)};
    size_ = accepted;
    if (accepted != proposed) {
        const std::uint32_t values[] = {static_cast<std::uint32_t>(accepted.width),
                                        static_cast<std::uint32_t>(accepted.height)};
        configure(XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        xcb_flush(connection_->get());
    }
    if (controller_)
        controller_->onResize(*this, accepted);
}

void X11Window::settleLater()
{
    cancelSettle();
    talven::EventLoop* const loop = talven::EditorThread::loop();
    if (!loop)
        return;
    settleTimer_ = loop->startTimer(kSettleTime, [weak = weak_from_this()] {
        if (const std::shared_ptr<X11Window> window = weak.lock()) {
            window->cancelSettle();
            window->reportPosition(0);
        }
    });
}

void X11Window::setIdleTick(std::function<void()> tick)
{
    stopIdleTick();
    talven::EventLoop* const loop = talven::EditorThread::loop();
    if (!loop || !tick || id_ == XCB_WINDOW_NONE)
        return;
    idleTimer_ = loop->startTimer(std::chrono::milliseconds(kIdleTickPeriodMs), std::move(tick));
}

void X11Window::stopIdleTick()
{
    if (idleTimer_ == 0)
        return;
    if (talven::EventLoop* const loop = talven::EditorThread::loop())
        loop->remove(idleTimer_);
    idleTimer_ = 0;
}

void X11Window::cancelSettle()
{
    if (settleTimer_ == 0)
        return;
    if (talven::EventLoop* const loop = talven::EditorThread::loop())
        loop->remove(settleTimer_);
    settleTimer_ = 0;
}

X11Window::Point X11Window::outerPosition() const
{
    xcb_connection_t* const connection = connection_->get();
    const xcb_translate_coordinates_cookie_t place =
        xcb_translate_coordinates(connection, id_, connection_->screen().root, 0, 0);
    const xcb_get_property_cookie_t frame = xcb_get_property(
        connection, 0, id_, connection_->atom(talven::X11Connection::NetFrameExtents), XCB_ATOM_CARDINAL, 0, 4);
    XcbReply<xcb_translate_coordinates_reply_t> placed(xcb_translate_coordinates_reply(connection, place, nullptr));
    XcbReply<xcb_get_property_reply_t> extents(xcb_get_property_reply(connection, frame, nullptr));
    if (!placed)
        return expectedOuter_; // the server is gone: where it was last seen
    Point outer{placed->dst_x, placed->dst_y};
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    if (extents && extents->format == 32 && xcb_get_property_value_length(extents.get()) >= 16) {
        const auto* edges = static_cast<const std::uint32_t*>(xcb_get_property_value(extents.get()));
        outer.x -= static_cast<int32>(edges[0]);
        outer.y -= static_cast<int32>(edges[2]);
    }
    return outer;
}

void X11Window::reportPosition(int32 closing) const
{
    const Point outer = outerPosition();
    // Counted before the callback is read: silence() either finds this
    // report under way or this finds the callback gone.
    ++reporting_;
    const PositionCallback callback = positionCallback_.load();
    // The calling program's code: nothing it throws may unwind into the
    // editor thread's loop.
    try {
        if (callback)
            callback(outer.x, outer.y, closing);
    } catch (...) {
    }
    --reporting_;
}

bool X11Window::ownedByCallingThread() const
{
    return talven::EditorThread::isCurrent();
}

void X11Window::silence()
{
    callbackSet_.store(true);
    positionCallback_.store(nullptr);
    if (talven::EditorThread::isCurrent())
        return;
    while (reporting_.load() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void X11Window::retireRunLoop()
{
    if (runLoop_)
        runLoop_->retire();
    runLoop_ = nullptr;
}

} // namespace Steinberg::Vst::EditorHost
