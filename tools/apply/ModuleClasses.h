// The classes of a VST 3 module, as its factory lists them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace talven::apply {

// One class of a module.
struct ModuleClass {
    std::string name;
    std::string vendor;
    std::string category;      // "Audio Module Class", ...
    std::string subCategories; // "Fx|EQ": joined by '|' as the factory gives them
    std::string version;
    std::string sdkVersion;
    std::string classId;       // 32 upper-case hexadecimal digits
};

// Every class of the module at path (UTF-8: a module file or a package
// folder) in the factory's order, through TALVEN_GetModuleClasses, or
// nothing when it cannot be loaded.
std::optional<std::vector<ModuleClass>> loadModuleClasses(const std::string& path);

} // namespace talven::apply
