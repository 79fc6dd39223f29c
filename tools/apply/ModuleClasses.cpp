#include "ModuleClasses.h"

#include "PrintableText.h"
#include "talven.h"

#include <algorithm>
#include <cstdint>

namespace talven::apply {
namespace {

// More classes than any real module holds; a factory that claims more is
// listed up to here.
constexpr std::int32_t kMostClassesListed = 1024;

ModuleClass classOf(const TALVEN_CLASSINFO& info)
{
    return ModuleClass{printableField(info.name),          printableField(info.vendor),
                       printableField(info.category),      printableField(info.subCategories),
                       printableField(info.version),       printableField(info.sdkVersion),
                       printableField(info.classId)};
}

} // namespace

std::optional<std::vector<ModuleClass>> loadModuleClasses(const std::string& path)
{
    const std::int32_t count = TALVEN_GetModuleClasses(path.c_str(), nullptr, 0);
    if (count <= 0)
        return count < 0 ? std::nullopt : std::optional<std::vector<ModuleClass>>(std::in_place);
    std::vector<TALVEN_CLASSINFO> infos(static_cast<std::size_t>(std::min(count, kMostClassesListed)));
    infos[0].size = sizeof(TALVEN_CLASSINFO);
    // Loaded anew, the module may answer otherwise than the first time.
    const std::int32_t listed = TALVEN_GetModuleClasses(path.c_str(), infos.data(), static_cast<std::int32_t>(infos.size()));
    if (listed < 0)
        return std::nullopt;
    std::vector<ModuleClass> classes;
    for (std::int32_t i = 0; i < std::min(listed, static_cast<std::int32_t>(infos.size())); ++i)
        classes.push_back(classOf(infos[static_cast<std::size_t>(i)]));
    return classes;
}

} // namespace talven::apply
