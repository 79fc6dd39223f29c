#include "PrintableText.h"

#include "platform/TextConversion.h"

namespace talven::apply {

std::string printable(std::string_view text)
{
    std::string result = utf16ToUtf8Lenient(utf8ToUtf16Lenient(text));
    for (char& c : result) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return result;
}

} // namespace talven::apply
