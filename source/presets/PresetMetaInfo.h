#pragma once

#include <string>

namespace talven {

// The meta-information chunk ("Info", XML by convention) of the preset last
// recalled into an instance. This library writes none of its own; one that
// came with a recalled preset is written again, byte for byte, by the stores
// that follow, so that another host's description of the preset survives.
struct PresetMetaInfo {
    bool present = false;
    std::string bytes;
};

} // namespace talven
