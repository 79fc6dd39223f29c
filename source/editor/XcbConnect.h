#pragma once

#include <xcb/xcb.h>

namespace talven {

// xcb_connect for every connection the library makes. libXau, which xcb
// asks for the display's authorisation, writes a static buffer: two threads
// connecting at once (an attach and the editor thread, or two attaches)
// race on it, so the library's connections are made one at a time. Any
// thread; screenNumber may be null. Free the result with xcb_disconnect,
// also when it is in error.
xcb_connection_t* connectToDisplay(int* screenNumber);

} // namespace talven
