#pragma once

#include "host/HostedPlugin.h"

#include <cstdint>

namespace talven {

// Switches the plug-in into bypass (request non-zero: blocks pass untouched
// from the next one on, then processing off and the component inactive) or
// back out of it (active, processing on, then blocks are processed again).
// Asking for the current state succeeds and calls nothing. True on success;
// false for a plug-in that is not processing (never set up, detached, its
// channel freed) or that refused a step. Caller's thread, never from inside
// the plug-in's own process call; takes the control lock, and passes through
// the instance lock once, without holding it across the plug-in's calls.
bool setBypass(HostedPlugin& plugin, std::int32_t request);

} // namespace talven
