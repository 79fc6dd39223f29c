#include "editor/XcbConnect.h"

#include <mutex>

namespace talven {
namespace {

// Constant-initialised, with nothing to undo at exit: usable at any time.
std::mutex connecting;

} // namespace

xcb_connection_t* connectToDisplay(int* screenNumber)
{
    std::lock_guard<std::mutex> guard(connecting);
    return xcb_connect(nullptr, screenNumber);
}

} // namespace talven
