#include "editor/X11PluginAtoms.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace talven {
namespace {

// What JUCE 7's X11 windowing asks for only if it exists, and the usual
// EWMH, ICCCM, Motif and XDND names other toolkits query the same way.
constexpr const char* kPluginAtomNames[] = {
    "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "WM_STATE", "WM_CHANGE_STATE",
    "_NET_SUPPORTED", "_NET_SUPPORTING_WM_CHECK", "_NET_ACTIVE_WINDOW", "_NET_WORKAREA",
    "_NET_FRAME_EXTENTS", "_NET_WM_NAME", "_NET_WM_ICON_NAME", "_NET_WM_PID", "_NET_WM_PING",
    "_NET_WM_USER_TIME", "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_CLOSE",
    "_NET_WM_ACTION_FULLSCREEN", "_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_RESIZE",
    "_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_HIDDEN",
    "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_MAXIMIZED_HORZ", "_NET_WM_STATE_MAXIMIZED_VERT",
    "_NET_WM_STATE_MODAL", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_WINDOW_TYPE_COMBO",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_TOOLTIP", "_MOTIF_WM_HINTS", "_WIN_HINTS",
    "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE", "KWM_WIN_DECORATION", "_XEMBED", "_XEMBED_INFO",
    "XdndAware", "UTF8_STRING",
};

} // namespace

void internPluginAtoms(xcb_connection_t* connection)
{
    // Asked for all at once, then the answers awaited: one round trip.
    xcb_intern_atom_cookie_t cookies[std::size(kPluginAtomNames)];
    for (std::size_t i = 0; i < std::size(kPluginAtomNames); ++i)
        cookies[i] = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(kPluginAtomNames[i])),
                                     kPluginAtomNames[i]);
    for (const xcb_intern_atom_cookie_t& cookie : cookies)
        std::free(xcb_intern_atom_reply(connection, cookie, nullptr));
}

} // namespace talven
