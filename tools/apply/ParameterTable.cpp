#include "ParameterTable.h"

#include "PrintableText.h"

#include "platform/TextConversion.h"
#include "talven.h"

#include <string>

namespace talven::apply {
namespace {

// A description's UTF-16 text, at most 128 units, as printable UTF-8.
std::string textOf(const std::uint16_t* text)
{
    std::size_t length = 0;
    while (length < 128 && text[length] != 0)
        ++length;
    return printable(utf16ToUtf8Lenient(std::u16string_view(reinterpret_cast<const char16_t*>(text), length)));
}

// The current value as the plug-in shows it ("-12.0 dB"), or "-" when it
// gives no text.
std::string displayText(std::uint32_t handle, std::uint32_t id)
{
    char text[256] = {};
    if (TALVEN_GetParamText(handle, id, -1.0, text, static_cast<std::int32_t>(sizeof text)) != 1)
        return "-";
    return printableField(text);
}

} // namespace

void printParameterTable(std::uint32_t handle, std::FILE* out)
{
    const std::int32_t count = TALVEN_GetParamCount(handle);
    std::fprintf(out, "%5s  %10s  %-24s  %-8s  %8s  %8s  %s\n", "index", "id", "title", "units", "default", "current",
                 "text");
    for (std::int32_t index = 0; index < count; ++index) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, index, &info) != 0) {
            std::fprintf(out, "%5d  (the plug-in gave no description)\n", static_cast<int>(index));
            continue;
        }
        const std::string title = textOf(info.title);
        const std::string units = textOf(info.units);
        const std::string text = displayText(handle, info.id);
        std::fprintf(out, "%5d  %10lu  %-24s  %-8s  %8.4f  %8.4f  %s\n", static_cast<int>(index),
                     static_cast<unsigned long>(info.id), title.c_str(), units.c_str(), info.defaultNormalizedValue,
                     TALVEN_GetParam(handle, info.id), text.c_str());
    }
    if (count <= 0)
        std::fprintf(out, "(no parameters)\n");
}

std::optional<std::int32_t> findParameter(std::uint32_t handle, std::uint32_t id)
{
    const std::int32_t count = TALVEN_GetParamCount(handle);
    for (std::int32_t index = 0; index < count; ++index) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, index, &info) == 0 && info.id == id)
            return index;
    }
    return std::nullopt;
}

} // namespace talven::apply
