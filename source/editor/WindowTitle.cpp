#include "editor/WindowTitle.h"

#include "platform/TextConversion.h"

namespace talven {

std::wstring windowTitleFromUtf8(const char* utf8)
{
    if (!utf8)
        return {};
    const std::u16string title = utf8ToUtf16Lenient(utf8);
    return std::wstring(title.begin(), title.end());
}

} // namespace talven
