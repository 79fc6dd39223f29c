#pragma once

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/base/ipluginbase.h"

#include <string>
#include <vector>

namespace VST3 {
namespace Hosting {

// The description of one class a plug-in factory offers, with the
// IPluginFactory2/3 extras when the factory gave them. Texts are UTF-8.
class ClassInfo {
public:
    ClassInfo() = default;
    explicit ClassInfo(const Steinberg::PClassInfo& info);
    explicit ClassInfo(const Steinberg::PClassInfo2& info);
    // A text the plug-in gave as broken UTF-16 makes valid() false; the
    // factory then falls back to the 8-bit record.
    explicit ClassInfo(const Steinberg::PClassInfoW& info);

    const Steinberg::FUID& ID() const { return id_; }
    Steinberg::int32 cardinality() const { return cardinality_; }
    const std::string& category() const { return category_; }
    const std::string& name() const { return name_; }
    const std::string& vendor() const { return vendor_; }
    const std::string& version() const { return version_; }
    const std::string& sdkVersion() const { return sdkVersion_; }
    // The sub-categories as the factory gave them, '|'-separated, and split.
    const std::string& subCategoriesString() const { return subCategories_; }
    std::vector<std::string> subCategories() const;
    Steinberg::uint32 classFlags() const { return classFlags_; }
    bool valid() const { return valid_; }

    // A class without a vendor of its own is the factory's vendor's.
    void inheritVendor(const std::string& factoryVendor)
    {
        if (vendor_.empty())
            vendor_ = factoryVendor;
    }

private:
    Steinberg::FUID id_;
    Steinberg::int32 cardinality_ = 0;
    std::string category_;
    std::string name_;
    std::string vendor_;
    std::string version_;
    std::string sdkVersion_;
    std::string subCategories_;
    Steinberg::uint32 classFlags_ = 0;
    bool valid_ = true;
};

using ClassInfos = std::vector<ClassInfo>;

} // namespace Hosting
} // namespace VST3
