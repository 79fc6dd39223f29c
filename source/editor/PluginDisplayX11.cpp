#include "editor/PluginDisplay.h"

#include "editor/X11PluginAtoms.h"
#include "editor/XcbConnect.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace talven {

std::shared_ptr<void> prepareDisplayForPlugin()
{
    const char* const display = std::getenv("DISPLAY");
    if (!display || display[0] != ':')
        return nullptr;
    xcb_connection_t* const connection = connectToDisplay(nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    internPluginAtoms(connection);
    return std::shared_ptr<void>(connection, [](void* held) { xcb_disconnect(static_cast<xcb_connection_t*>(held)); });
}

} // namespace talven
