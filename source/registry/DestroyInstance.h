#pragma once

#include "registry/PluginInstance.h"

namespace talven {

// Tears a record down once its last hold is gone: takes its callbacks off
// the channel, owes the deferred module release, releases what the record
// owns and frees it. Called only by unrefHandle, outside the table lock.
void destroyInstance(PluginInstance* record);

} // namespace talven
