#include "sdk/ClassInfo.h"

#include "sdk/BoundedText.h"

#include "platform/TextConversion.h"

#include <cstddef>
#include <optional>

namespace VST3 {
namespace Hosting {
namespace {

using namespace Steinberg;

template <size_t Size>
std::optional<std::string> boundedUtf16(const char16 (&text)[Size])
{
    std::basic_string<char16> wide = boundedText(text);
    return talven::utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

} // namespace

ClassInfo::ClassInfo(const PClassInfo& info)
    : id_(FUID::fromTUID(info.cid))
    , cardinality_(info.cardinality)
    , category_(boundedText(info.category))
    , name_(boundedText(info.name))
{
}

ClassInfo::ClassInfo(const PClassInfo2& info)
    : id_(FUID::fromTUID(info.cid))
    , cardinality_(info.cardinality)
    , category_(boundedText(info.category))
    , name_(boundedText(info.name))
    , vendor_(boundedText(info.vendor))
    , version_(boundedText(info.version))
    , sdkVersion_(boundedText(info.sdkVersion))
    , subCategories_(boundedText(info.subCategories))
    , classFlags_(info.classFlags)
{
}

ClassInfo::ClassInfo(const PClassInfoW& info)
    : id_(FUID::fromTUID(info.cid))
    , cardinality_(info.cardinality)
    , category_(boundedText(info.category))
    , subCategories_(boundedText(info.subCategories))
    , classFlags_(info.classFlags)
{
    auto name = boundedUtf16(info.name);
    auto vendor = boundedUtf16(info.vendor);
    auto version = boundedUtf16(info.version);
    auto sdkVersion = boundedUtf16(info.sdkVersion);
    valid_ = name && vendor && version && sdkVersion;
    if (valid_) {
        name_ = *name;
        vendor_ = *vendor;
        version_ = *version;
        sdkVersion_ = *sdkVersion;
    }
}

std::vector<std::string> ClassInfo::subCategories() const
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= subCategories_.size() && !subCategories_.empty()) {
        size_t end = subCategories_.find('|', start);
        if (end == std::string::npos)
            end = subCategories_.size();
        if (end > start)
            parts.push_back(subCategories_.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace Hosting
} // namespace VST3
