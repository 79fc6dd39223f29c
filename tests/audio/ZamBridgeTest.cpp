// A second implementation of the interfaces (DPF, not the Steinberg SDK):
// real mono (ZamTube, ZamAutoSat) and stereo effects from zam-plugins, on
// channels of their own width and of the other one.
#include "BridgeTestSupport.h"

#include <filesystem>

namespace talven {
namespace {

using test::BridgeTest;

using ZamBridgeTest = BridgeTest;

std::string zamPackage(const std::string& name)
{
    return "/usr/lib/vst3/" + name + ".vst3";
}

struct ZamCase {
    const char* package;
    int channels;
};

TEST_F(ZamBridgeTest, ZamPluginsGiveTheirOwnOutputOnMonoAndStereoChannelsSampleForSample)
{
    const ZamCase cases[] = {
        {"ZamTube", 1},   {"ZamTube", 2},   {"ZaMaximX2", 2}, {"ZaMaximX2", 1}, {"ZamDelay", 2},
        {"ZamDelay", 1},  {"ZamAutoSat", 1}, {"ZamAutoSat", 2}, {"ZamPhono", 2}, {"ZamGateX2", 2},
    };
    for (const ZamCase& c : cases) {
        const std::string path = zamPackage(c.package);
        if (!std::filesystem::exists(path)) {
            ADD_FAILURE() << path << " is missing (zam-plugins is installed by scripts/deps)";
            continue;
        }
        // Each changes the signal, so the comparison means something.
        EXPECT_GT(expectReferenceOutput(path, c.channels, {512, 512, 4096, 10000, 333, 1}), 0)
            << path << " on " << c.channels << " channels";
    }
}

} // namespace
} // namespace talven
