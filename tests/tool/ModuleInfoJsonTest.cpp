// Reading moduleinfo.json, in process: what a well-formed file gives, and
// that every malformed or hostile one is refused with a reason.
#include "ModuleInfoJson.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using talven::apply::ModuleClass;
using talven::apply::parseModuleInfo;

TEST(ModuleInfoJsonTest, ReadsEveryClassInOrderWithTheFactoryVendorWhereAClassHasNone)
{
    const char* text = R"({
      /* comments, trailing commas and text that only looks like them */
      "Name": "Sample", "Version": "1.0",
      "Factory Info": { "Vendor": "Factory \"Quoted\" Vendor", "URL": "https://a.invalid//x", },
      "Classes": [
        { "CID": "abcdef0123456789ABCDEF0123456789", "Category": "Audio Module Class",
          "Name": "First // not a comment", "Vendor": "Own Vendor", "Version": "1.2.3",
          "SDKVersion": "VST 3.7.9", "Sub Categories": ["Fx", "Dynamics",], "Snapshots": [], },
        { "CID": "00000000000000000000000000000000", "Category": "Component Controller Class",
          "Name": "Second", },  // a line comment at the end
      ],
    })";
    std::string error;
    const auto classes = parseModuleInfo(text, error);
    ASSERT_TRUE(classes) << error;
    ASSERT_EQ(classes->size(), 2u);
    const ModuleClass& first = (*classes)[0];
    EXPECT_EQ(first.classId, "ABCDEF0123456789ABCDEF0123456789");
    EXPECT_EQ(first.name, "First // not a comment");
    EXPECT_EQ(first.vendor, "Own Vendor");
    EXPECT_EQ(first.category, "Audio Module Class");
    EXPECT_EQ(first.subCategories, "Fx|Dynamics");
    EXPECT_EQ(first.version, "1.2.3");
    const ModuleClass& second = (*classes)[1];
    EXPECT_EQ(second.name, "Second");
    EXPECT_EQ(second.vendor, "Factory \"Quoted\" Vendor");
    EXPECT_EQ(second.subCategories, "");
    EXPECT_EQ(second.version, "");
}

TEST(ModuleInfoJsonTest, RefusesWhatIsNoWellFormedModuleDescription)
{
    const std::string cls = R"("CID": "00000000000000000000000000000000", "Category": "C", "Name": "N")";
    const std::string deep = std::string(100, '[') + std::string(100, ']');
    const std::string cases[] = {
        "",
        "not json",
        "[]",
        "{}",
        R"({"Classes": {}})",
        R"({"Classes": [1]})",
        R"({"Classes": [{"Category": "C", "Name": "N"}]})",
        R"({"Classes": [{"CID": "0000000000000000000000000000000", "Category": "C", "Name": "N"}]})",
        R"({"Classes": [{"CID": "0000000000000000000000000000000G", "Category": "C", "Name": "N"}]})",
        R"({"Classes": [{"CID": 12, "Category": "C", "Name": "N"}]})",
        R"({"Classes": [{"CID": "00000000000000000000000000000000", "Category": "C", "Name": ["N"]}]})",
        R"({"Classes": [{)" + cls + R"(, "Vendor": 5}]})",
        R"({"Classes": [{)" + cls + R"(, "Sub Categories": "Fx"}]})",
        R"({"Classes": [{)" + cls + R"(, "Sub Categories": ["Fx", 1]}]})",
        R"({"Factory Info": "x", "Classes": []})",
        R"({"Factory Info": {"Vendor": null}, "Classes": []})",
        "{\"Classes\": [{" + cls + ", \"Version\": \"\xff\xfe\"}]}",
        R"({"Classes": [{"CID": "unclosed)",
        R"({"Classes": [] /* unclosed)",
        R"({"Classes": [], "Deep": )" + deep + "}",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 120));
        std::string error;
        EXPECT_FALSE(parseModuleInfo(text, error));
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
