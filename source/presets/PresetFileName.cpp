#include "presets/PresetFileName.h"

#include "platform/TextConversion.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <climits>

namespace talven {
namespace {

#ifdef _WIN32
std::u16string fromSystemCodePage(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &wide[0], units);
    return std::u16string(wide.begin(), wide.end());
}
#endif

} // namespace

std::string_view presetFileName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return path.substr(slash + 1);
}

std::u16string fileNameToUtf16(std::string_view bytes)
{
    if (std::optional<std::u16string> text = utf8ToUtf16(bytes))
        return *text;
#ifdef _WIN32
    return fromSystemCodePage(bytes);
#else
    return utf8ToUtf16Lenient(bytes);
#endif
}

} // namespace talven
