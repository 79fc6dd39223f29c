// Reading moduleinfo.json, in process: every malformed or hostile text is
// refused with a reason (ScanTest reads well-formed ones through the tool).
#include "ModuleInfoJson.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using talven::apply::parseModuleInfo;

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
