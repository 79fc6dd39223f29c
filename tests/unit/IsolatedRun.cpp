#include "IsolatedRun.h"

#include <cstdlib>
#include <cstring>

namespace talven::test {

bool isolatedRun()
{
    const char* value = std::getenv("TALVEN_TEST_ISOLATED");
    return value && std::strcmp(value, "1") == 0;
}

std::uint32_t attachForTest(std::uint32_t channel, const char* path, std::uint8_t showEditor, std::int32_t x,
                            std::int32_t y, TALVEN_POSITIONPROC callback, const char* title, const char* classId)
{
    TALVEN_ATTACH attach{};
    attach.size = sizeof attach;
    attach.path = path;
    attach.classId = classId;
    attach.flags = isolatedRun() ? TALVEN_ATTACH_ISOLATED : 0;
    attach.showEditor = showEditor;
    attach.editorX = x;
    attach.editorY = y;
    attach.positionCallback = callback;
    attach.title = title;
    return TALVEN_ChannelSetDSPWith(channel, &attach);
}

} // namespace talven::test
