// The cases the embedded-editor tests of both targets share: how an
// embedding ends, and the sizes a program asks of EditorEffect's view.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace talven::test {

enum class Ending { removal, parentDestroyed, detach, channelFree };

struct EndingCase {
    const char* name;
    Ending ending;
    // The instance is still attached afterwards (a removal answers 1).
    bool instanceLeft;
};

inline constexpr EndingCase kEndings[] = {
    {"Removal", Ending::removal, true},
    {"ParentDestroyedFirst", Ending::parentDestroyed, true},
    {"Detach", Ending::detach, false},
    {"ChannelFree", Ending::channelFree, false},
};

inline std::string endingName(const ::testing::TestParamInfo<EndingCase>& info)
{
    return info.param.name;
}

// EditorEffect's view (400 x 300) configured so, asked for width x height
// by TALVEN_SetEditorSize.
struct SizeRequest {
    const char* name;
    int canResize;
    int maxWidth;
    int refuseSizes;
    std::int32_t width, height;  // asked for
    std::int32_t result;         // TALVEN_SetEditorSize's answer
    std::int32_t takenW, takenH; // what comes back: the child's size when taken
};

inline constexpr SizeRequest kSizeRequests[] = {
    {"a resizable view", 1, 0, 0, 500, 420, 1, 500, 420},
    {"a capped width", 1, 450, 0, 600, 380, 1, 450, 380},
    {"a view refusing sizes keeps its own", 1, 0, 1, 520, 410, 1, 400, 300},
    {"a view of fixed size", 0, 0, 0, 500, 420, 0, 500, 420},
};

// A real GUI (a zam plug-in's: knobs, meters, text) has drawn over the whole
// of a program's window fitted to it: many colours, and none of the
// program's white left at the first or last pixel. Pixels 0xRRGGBB, bits
// above them ignored; colours tells how many there were.
inline bool guiDrewOverWindow(const std::vector<unsigned int>& pixels, std::size_t& colours)
{
    const unsigned int white = 0xFFFFFFu;
    std::set<unsigned int> seen;
    for (unsigned int pixel : pixels)
        seen.insert(pixel & white);
    colours = seen.size();
    return !pixels.empty() && colours > 32 && (pixels.front() & white) != white && (pixels.back() & white) != white;
}

} // namespace talven::test
