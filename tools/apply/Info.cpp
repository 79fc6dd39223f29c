#include "Info.h"

#include "ModuleClasses.h"
#include "PrintableText.h"
#include "talven.h"

#include <optional>
#include <vector>

namespace talven::apply {
namespace {

void printField(std::FILE* out, const char* label, const std::string& value)
{
    std::fprintf(out, "%-16s %s\n", label, value.c_str());
}

void printClass(std::FILE* out, const TALVEN_CLASSINFO& info)
{
    printField(out, "name", printableField(info.name));
    printField(out, "vendor", printableField(info.vendor));
    printField(out, "version", printableField(info.version));
    printField(out, "category", printableField(info.category));
    printField(out, "sub-categories", printableField(info.subCategories));
    printField(out, "sdk version", printableField(info.sdkVersion));
    printField(out, "class id", printableField(info.classId));
}

void printModuleClasses(std::FILE* out, const std::string& pluginPath, const std::string& attachedId)
{
    const std::optional<std::vector<ModuleClass>> classes = loadModuleClasses(pluginPath);
    if (!classes) {
        printField(out, "module classes", "(the module cannot be listed)");
        return;
    }
    printField(out, "module classes", std::to_string(classes->size()));
    for (const ModuleClass& each : *classes) {
        std::fprintf(out, "%c %s  %-26s  %s  (%s)\n", each.classId == attachedId ? '*' : ' ', each.classId.c_str(),
                     each.category.c_str(), each.name.c_str(), each.subCategories.c_str());
    }
}

std::string samples(std::int64_t count)
{
    return std::to_string(count) + (count == 1 ? " sample" : " samples");
}

} // namespace

bool printInfo(std::uint32_t handle, const std::string& pluginPath, std::FILE* out, std::string& error)
{
    TALVEN_INFO info{};
    info.size = sizeof info;
    if (TALVEN_GetInfo(handle, &info) != 1) {
        error = "the library gives no description of " + pluginPath;
        return false;
    }
    printClass(out, info.plugin);
    printField(out, "input channels", std::to_string(info.inputChannels));
    printField(out, "output channels", std::to_string(info.outputChannels));
    printField(out, "latency", samples(info.latencySamples));
    printField(out, "tail", info.tailSamples == 0xFFFFFFFFu ? "infinite" : samples(info.tailSamples));
    printField(out, "editor", info.hasEditor ? "yes" : "no");
    printField(out, "parameters", std::to_string(info.parameterCount));
    printModuleClasses(out, pluginPath, printableField(info.plugin.classId));
    return true;
}

} // namespace talven::apply
