#pragma once

#include <xcb/xcb.h>

namespace talven {

// Makes the window-manager atoms plug-in GUIs look up exist on the server.
// Toolkits (JUCE among them) ask for many of them only if they exist, as a
// window manager would have made them, and on a display without one go on
// with atom 0, which the server answers with an error. Atoms live as long as
// the server does, so once is enough while the connection stays open.
// Editor thread, before a view is made.
void internPluginAtoms(xcb_connection_t* connection);

} // namespace talven
