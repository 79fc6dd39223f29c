#include "editor/PluginDisplay.h"

#include "editor/X11PluginAtoms.h"
#include "editor/XcbConnect.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <mutex>

namespace talven {
namespace {

// The connection that made the atoms, kept while the process lives: a
// server whose last client leaves resets and forgets them. Made once, so
// that attaches do not each open a connection of their own.
struct AtomKeeper {
    xcb_connection_t* connection = nullptr;
    ~AtomKeeper()
    {
        if (connection)
            xcb_disconnect(connection);
    }
};

} // namespace

void prepareDisplayForPlugin()
{
    static std::once_flag once;
    static AtomKeeper keeper;
    std::call_once(once, [] {
        const char* const display = std::getenv("DISPLAY");
        if (!display || display[0] != ':')
            return;
        xcb_connection_t* const connection = connectToDisplay(nullptr);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            return;
        }
        internPluginAtoms(connection);
        keeper.connection = connection;
    });
}

} // namespace talven
