#pragma once

namespace talven {

// Made before a plug-in is created: some GUI frameworks (JUCE among them)
// connect to the X server and look up the window-manager atoms they need
// (only if they exist) as the plug-in is made, long before any view. On
// Linux, with a local X display, the first call connects, makes those atoms
// exist (internPluginAtoms) and stays connected while the process lives, so
// that a display with no other client does not reset and lose them. Nothing
// on Windows, without a display, or with one reached over the network (a
// connection there could take long to fail). Any thread.
void prepareDisplayForPlugin();

} // namespace talven
