// Programs through the exported functions: the ProgramGain test plug-in in
// its three shapes (list and program-change parameter, list alone, parameter
// alone), whose program k plays at gain k/10.
#include "ParameterTestSupport.h"

#include <mutex>
#include <utility>

namespace talven::test {
namespace {

constexpr std::uint32_t kGainId = 0;

// What the parameter callback heard, on any thread.
struct Heard {
    static void TALVEN_CALL proc(std::uint32_t, std::uint32_t id, double value, void* user)
    {
        auto* heard = static_cast<Heard*>(user);
        const std::lock_guard<std::mutex> guard(heard->lock);
        heard->reports.emplace_back(id, value);
    }
    std::vector<std::pair<std::uint32_t, double>> taken()
    {
        const std::lock_guard<std::mutex> guard(lock);
        return std::move(reports);
    }
    std::mutex lock;
    std::vector<std::pair<std::uint32_t, double>> reports;
};

std::string programName(std::uint32_t handle, std::int32_t index, std::int32_t size = 64)
{
    std::vector<char> name(static_cast<size_t>(size), 'x');
    if (TALVEN_GetProgramName(handle, index, name.data(), size) != 1)
        return "(none)";
    return name.data();
}

class ProgramTest : public AttachedTest {};

TEST_F(ProgramTest, EachShapeOfProgramsIsCountedNamedAndSelectedAsFarAsItGoes)
{
    struct Case {
        const char* plugin;
        std::int32_t current; // before any selection; -1: none
        bool selectable;
    };
    const Case cases[] = {
        {"ProgramGain", 0, true},
        {"ProgramListOnly", -1, false},
        {"ProgramParamOnly", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plugin);
        const HSTREAM stream = decodeStream();
        const std::uint32_t handle = attach(stream, c.plugin);
        ASSERT_NE(handle, 0u);
        Heard heard;
        ASSERT_EQ(TALVEN_SetParamCallback(handle, Heard::proc, &heard), 1);

        EXPECT_EQ(TALVEN_GetProgramCount(handle), 5);
        EXPECT_EQ(programName(handle, 0), "Silence");
        EXPECT_EQ(programName(handle, 3), "Three Tenths");
        EXPECT_EQ(programName(handle, 3, 4), "Thr");
        EXPECT_EQ(programName(handle, 5), "(none)");
        EXPECT_EQ(programName(handle, -1), "(none)");
        EXPECT_EQ(TALVEN_GetProgram(handle), c.current);
        EXPECT_TRUE(pull(stream).scaledBy(0.5f));

        EXPECT_EQ(TALVEN_SetProgram(handle, 5), 0);
        EXPECT_EQ(TALVEN_SetProgram(handle, -1), 0);
        EXPECT_EQ(TALVEN_SetProgram(handle, 3), c.selectable ? 1 : 0);
        if (c.selectable) {
            EXPECT_EQ(TALVEN_GetProgram(handle), 3);
            // The controller's gain followed the program, and the program
            // heard so; the processor plays it from the next block on.
            EXPECT_NEAR(TALVEN_GetParam(handle, kGainId), 0.3, 1e-9);
            const auto reports = heard.taken();
            ASSERT_EQ(reports.size(), 1u);
            EXPECT_EQ(reports[0].first, kGainId);
            EXPECT_NEAR(reports[0].second, 0.3, 1e-9);
            EXPECT_TRUE(pull(stream).scaledBy(0.3f));
            ASSERT_EQ(TALVEN_SetProgram(handle, 1), 1);
            EXPECT_TRUE(pull(stream).scaledBy(0.1f));
            EXPECT_EQ(TALVEN_GetProgram(handle), 1);
        } else {
            EXPECT_EQ(TALVEN_GetProgram(handle), -1);
            EXPECT_TRUE(heard.taken().empty());
            EXPECT_TRUE(pull(stream).scaledBy(0.5f));
        }
        ASSERT_EQ(TALVEN_ChannelRemoveDSP(stream, handle), 1);
    }
}

TEST_F(ProgramTest, PlugInsWithoutProgramsAndUnknownHandlesHaveNone)
{
    const HSTREAM stream = decodeStream();
    const std::uint32_t handle = attach(stream, "Recorder");
    ASSERT_NE(handle, 0u);
    char name[16] = "untouched";
    for (const std::uint32_t each : {handle, handle + 1000, 0u}) {
        SCOPED_TRACE(each);
        EXPECT_EQ(TALVEN_GetProgramCount(each), 0);
        EXPECT_EQ(TALVEN_GetProgram(each), -1);
        EXPECT_EQ(TALVEN_SetProgram(each, 0), 0);
        EXPECT_EQ(TALVEN_GetProgramName(each, 0, name, sizeof name), 0);
        EXPECT_STREQ(name, "untouched");
    }
    EXPECT_EQ(TALVEN_GetProgramName(handle, 0, nullptr, 16), 0);
    EXPECT_EQ(TALVEN_GetProgramName(handle, 0, name, 0), 0);
}

} // namespace
} // namespace talven::test
