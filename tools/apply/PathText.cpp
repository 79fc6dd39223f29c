#include "PathText.h"

#include "PrintableText.h"

#include "platform/TextConversion.h"

#include <string_view>

namespace talven::apply {

#ifdef _WIN32
// Windows keeps names as UTF-16 in wchar_t.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide file names are UTF-16");

namespace {

std::u16string_view utf16Of(const std::wstring& native)
{
    return std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size());
}

} // namespace

std::optional<std::filesystem::path> pathFromArgument(const std::string& text)
{
    const std::optional<std::u16string> wide = utf8ToUtf16(text);
    if (!wide)
        return std::nullopt;
    return std::filesystem::path(std::wstring(wide->begin(), wide->end()));
}

std::optional<std::string> utf8Path(const std::filesystem::path& path)
{
    return utf16ToUtf8(utf16Of(path.native()));
}

std::string printablePath(const std::filesystem::path& path)
{
    return printable(utf16ToUtf8Lenient(utf16Of(path.native())));
}

#else
// Linux keeps names as bytes, which are UTF-8 by convention only.

std::optional<std::filesystem::path> pathFromArgument(const std::string& text)
{
    return std::filesystem::path(text);
}

std::optional<std::string> utf8Path(const std::filesystem::path& path)
{
    if (!isValidUtf8(path.native()))
        return std::nullopt;
    return path.native();
}

std::string printablePath(const std::filesystem::path& path)
{
    return printable(path.native());
}

#endif

} // namespace talven::apply
