#include "ChildWindow.h"

#include "pluginterfaces/gui/iplugview.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>

namespace talven::testplugin {
namespace {

// The panel's colour, 0xRRGGBB on the 24-bit TrueColor screens tests use.
constexpr std::uint32_t kPanelColour = 0x285AAA;

// Each child has a connection of its own, as plug-in GUI toolkits do; the
// view serves it from the host's run loop.
std::mutex childrenLock;
std::map<xcb_window_t, xcb_connection_t*> children;

xcb_window_t idOf(void* child)
{
    return static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(child));
}

xcb_connection_t* connectionOf(void* child)
{
    std::lock_guard<std::mutex> guard(childrenLock);
    const auto found = children.find(idOf(child));
    return found == children.end() ? nullptr : found->second;
}

} // namespace

const char* nativeWindowType()
{
    return Steinberg::kPlatformTypeX11EmbedWindowID;
}

void* createChildWindow(void* parent, int width, int height)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const xcb_window_t id = xcb_generate_id(connection);
    const std::uint32_t values[] = {kPanelColour, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, id, idOf(parent), 0, 0, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_map_window(connection, id);
    xcb_flush(connection);
    std::lock_guard<std::mutex> guard(childrenLock);
    children[id] = connection;
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(id));
}

void resizeChildWindow(void* child, int width, int height)
{
    if (xcb_connection_t* connection = connectionOf(child)) {
        const std::uint32_t values[] = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
        xcb_configure_window(connection, idOf(child), XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
        xcb_flush(connection);
    }
}

void destroyChildWindow(void* child)
{
    xcb_connection_t* connection = nullptr;
    {
        std::lock_guard<std::mutex> guard(childrenLock);
        const auto found = children.find(idOf(child));
        if (found == children.end())
            return;
        connection = found->second;
        children.erase(found);
    }
    xcb_destroy_window(connection, idOf(child));
    xcb_flush(connection);
    xcb_disconnect(connection);
}

int childWindowFd(void* child)
{
    xcb_connection_t* connection = connectionOf(child);
    return connection ? xcb_get_file_descriptor(connection) : -1;
}

void drainChildWindow(void* child)
{
    if (xcb_connection_t* connection = connectionOf(child)) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
            std::free(event); // the background paints itself
    }
}

void wakeChildWindow(void*) {}

} // namespace talven::testplugin
