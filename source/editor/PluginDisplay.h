#pragma once

#include <memory>

namespace talven {

// Made before a plug-in is created: some GUI frameworks (JUCE among them)
// connect to the X server and look up the window-manager atoms they need
// (only if they exist) as the plug-in is made, long before any view. On
// Linux, with a local X display, this connects, makes those atoms exist
// (internPluginAtoms) and stays connected until let go, so that a display
// with no other client does not reset and lose them before the plug-in has
// connected. Null when there is nothing to do: Windows, no display, or one
// reached over the network (a connection there could take long to fail).
// Any thread.
std::shared_ptr<void> prepareDisplayForPlugin();

} // namespace talven
