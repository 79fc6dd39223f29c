// talven-apply --scan over a folder of plug-ins in every condition a scan
// meets: packages with and without moduleinfo.json, damaged ones, files
// that are no module, and the platform's standard folders.
#include "ToolSupport.h"

#include "talven.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#else
#include <cstdlib>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tooltest;

#ifdef _WIN32
const char* const kModuleSuffix = ".vst3";
#else
const char* const kModuleSuffix = ".so";
#endif

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void copyPackage(const char* name, const fs::path& to)
{
    fs::create_directories(to.parent_path());
    fs::copy(fs::u8path(testPlugin(name)), to, fs::copy_options::recursive);
}

// A package whose module is plain text: listing it at all shows that its
// moduleinfo.json was read and the module never loaded.
void writeBrokenModule(const fs::path& package)
{
    writeFile(package / "Contents" / TALVEN_TEST_PLUGIN_ARCH / (package.stem().u8string() + kModuleSuffix),
              "not a module");
}

// Written as the SDK's moduleinfotool writes it, JSON5 comments and
// trailing commas included, and text that only looks like them. The second
// class has the factory's vendor.
const char* const kModuleInfo = R"({
  // the module beside this file is no module at all
  "Name": "FromJson",
  "Version": "2.0.1",
  "Factory Info": {
    "Vendor": "Json \"Factory\" Vendor",
    "URL": "https://talven.invalid//path",
    "E-Mail": "mailto:tests@talven.invalid",
    "Flags": { "Unicode": true, "Classes Discardable": false, "Component Non Discardable": false, },
  },
  "Compatibility": [],
  "Classes": [
    {
      "CID": "0123456789abcdef0123456789ABCDEF",
      "Category": "Audio Module Class",
      "Name": "Json Effect",
      "Vendor": "Json Class Vendor",
      "Version": "2.0.1",
      "SDKVersion": "VST 3.7.9",
      "Sub Categories": ["Fx", "EQ"],
      "Class Flags": 1,
      "Cardinality": 2147483647,
      "Snapshots": [],
    },
    {
      "CID": "FEDCBA9876543210FEDCBA9876543210",
      "Category": "Component Controller Class",
      "Name": "Json /* not a comment */ Controller",
      "Version": "2.0.1",
      "Sub Categories": [],
    }, // the last class
  ],
})";

std::string pathText(const fs::path& path)
{
    return path.u8string();
}

// The lines of a test plug-in's module, listed as listedAs.
std::vector<std::string> moduleLines(const char* plugin, const fs::path& listedAs)
{
    return moduleScanLines(testPlugin(plugin), pathText(listedAs));
}

// What kModuleInfo lists, for a package at path.
std::vector<std::string> fromJsonLines(const fs::path& path)
{
    return {"json\tJson Effect\tJson Class Vendor\tAudio Module Class\tFx|EQ\t2.0.1\t"
            "0123456789ABCDEF0123456789ABCDEF\t" + pathText(path),
            "json\tJson /* not a comment */ Controller\tJson \"Factory\" Vendor\tComponent Controller Class\t"
            "\t2.0.1\tFEDCBA9876543210FEDCBA9876543210\t" + pathText(path)};
}

std::string failedLine(const fs::path& path)
{
    return "failed\t\t\t\t\t\t\t" + pathText(path);
}

void append(std::vector<std::string>& lines, const std::vector<std::string>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

// The folder for the scan tests, laid out anew; its lines in scan order
// (names sorted) in expected.
fs::path makeScanTree(std::vector<std::string>& expected)
{
    const fs::path tree = "scan-tree";
    fs::remove_all(tree);
    fs::create_directories(tree);
#ifndef _WIN32
    // A name in another encoding than UTF-8, which no Talven call can take.
    fs::create_directories(tree / "Bad\xff.vst3");
    expected.push_back(failedLine(tree / "Bad\xef\xbf\xbd.vst3"));
#endif
    // Packages keep their module's name: each copy in a folder of its own.
    const fs::path copied = tree / "Copied" / "Recorder.vst3";
    copyPackage("Recorder", copied);
    append(expected, moduleLines("Recorder", copied));

    // Damaged descriptions: the module decides (and one that cannot load fails).
    const fs::path damaged = tree / "Damaged" / "Recorder.vst3";
    copyPackage("Recorder", damaged);
    writeFile(damaged / "Contents" / "Resources" / "moduleinfo.json", "{ \"Classes\": [ {");
    append(expected, moduleLines("Recorder", damaged));
    writeFile(tree / "DamagedBroken.vst3" / "Contents" / "Resources" / "moduleinfo.json", R"({"Classes": "none"})");
    writeBrokenModule(tree / "DamagedBroken.vst3");
    expected.push_back(failedLine(tree / "DamagedBroken.vst3"));

    const fs::path fromJson = tree / "FromJson.vst3";
    writeFile(fromJson / "Contents" / "Resources" / "moduleinfo.json", kModuleInfo);
    writeBrokenModule(fromJson);
    append(expected, fromJsonLines(fromJson));

    writeFile(tree / "Huge.vst3" / "Contents" / "Resources" / "moduleinfo.json", std::string(9u << 20, ' '));
    writeBrokenModule(tree / "Huge.vst3");
    expected.push_back(failedLine(tree / "Huge.vst3"));
#ifndef _WIN32
    const fs::path linked = tree / "Linked" / "Recorder.vst3";
    fs::create_directories(linked.parent_path());
    fs::create_directory_symlink(fs::absolute(fs::u8path(testPlugin("Recorder"))), linked);
    append(expected, moduleLines("Recorder", linked));
    // Links that go round: one to itself, one back to the tree's top.
    fs::create_symlink("Loop", tree / "Loop");
    fs::create_directory_symlink("..", tree / "Copied" / "Back");
#endif
    writeFile(tree / "NotAModule.vst3", "plain text named like a module");
    expected.push_back(failedLine(tree / "NotAModule.vst3"));

    // Where VST 3.7.5 to 3.7.7 kept the file; control characters in a name
    // must not break the line.
    writeFile(tree / "OldPlace.vst3" / "Contents" / "moduleinfo.json",
              R"({"Classes": [{"CID": "00000000000000000000000000000001", "Name": "Old\tPlace\u0007",
                  "Category": "Audio Module Class"}]})");
    writeBrokenModule(tree / "OldPlace.vst3");
    expected.push_back("json\tOld Place \t\tAudio Module Class\t\t\t00000000000000000000000000000001\t" +
                       pathText(tree / "OldPlace.vst3"));

    // Other files are passed over; folders in folders walked.
    writeFile(tree / "readme.txt", "not a plug-in");
    copyPackage("TwoEffects", tree / "Vendor" / "Effects" / "TwoEffects.vst3");
    append(expected, moduleLines("TwoEffects", tree / "Vendor" / "Effects" / "TwoEffects.vst3"));
    return tree;
}

TEST(ScanTest, ScanListsEveryClassFromItsDescriptionOrModuleAndGoesOnPastWhatFails)
{
    std::vector<std::string> expected;
    const fs::path tree = makeScanTree(expected);
    const ToolRun run = runApply({"--scan", pathText(tree)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(linesOf(run.out), expected) << run.out;

    // Each damage is reported, once, naming its file.
    const std::vector<std::string> warnings = toolMessages(run.err);
    std::vector<std::string> reasons = {
        pathText(tree / "Damaged" / "Recorder.vst3" / "Contents" / "Resources" / "moduleinfo.json") + ": ",
        pathText(tree / "DamagedBroken.vst3" / "Contents" / "Resources" / "moduleinfo.json") + ": ",
        pathText(tree / "Huge.vst3" / "Contents" / "Resources" / "moduleinfo.json") + ": larger than 8 MiB",
    };
#ifndef _WIN32
    reasons.push_back(pathText(tree / "Bad\xef\xbf\xbd.vst3") + ": the name is not UTF-8");
#endif
    EXPECT_EQ(warnings.size(), reasons.size()) << run.err;
    for (const std::string& reason : reasons) {
        EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                                [&](const std::string& line) {
                                    return line.rfind("talven-apply: " + reason, 0) == 0;
                                }),
                  1)
            << reason << "\n" << run.err;
    }
}

// A package named with a trailing separator, as a shell completes it.
TEST(ScanTest, ScanTakesPluginsByNameAndReportsAFolderItCannotReadAfterListingTheRest)
{
    std::vector<std::string> everything;
    const fs::path tree = makeScanTree(everything);
    std::vector<std::string> expected = fromJsonLines(tree / "FromJson.vst3");
    append(expected, moduleLines("TwoEffects", tree / "Vendor" / "Effects" / "TwoEffects.vst3"));
    std::vector<std::string> arguments = {"--scan", pathText(tree / "missing"), pathText(tree / "FromJson.vst3") + "/",
                                          pathText(tree / "Vendor")};
    std::vector<std::string> messages = {"talven-apply: " + pathText(tree / "missing") + ": no such folder"};
#ifndef _WIN32
    arguments.push_back(pathText(tree / "Loop"));
    messages.push_back("talven-apply: " + pathText(tree / "Loop") + ": cannot be read: " +
                       std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
#endif
    const ToolRun run = runApply(arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(linesOf(run.out), expected) << run.out;
    EXPECT_EQ(toolMessages(run.err), messages);
}

// A copy of a test plug-in in a vendor folder of its own in each standard
// folder the test may write to, in the order the tool reads them: the
// user's, and on Windows (Wine's prefix, the test's own) the common one.
class StandardFolderPlugins {
public:
    StandardFolderPlugins()
    {
#ifdef _WIN32
        // As the tool finds them; Wine knows no FOLDERID_UserProgramFilesCommon.
        if (const auto user = knownFolder(FOLDERID_UserProgramFilesCommon))
            folders_.push_back(*user / L"VST3");
        else if (const auto local = knownFolder(FOLDERID_LocalAppData))
            folders_.push_back(*local / L"Programs" / L"Common" / L"VST3");
        if (const auto common = knownFolder(FOLDERID_ProgramFilesCommon))
            folders_.push_back(*common / L"VST3");
#else
        const char* home = std::getenv("HOME");
        savedHome_ = home ? std::optional<std::string>(home) : std::nullopt;
        setenv("HOME", fs::absolute("home").c_str(), 1);
        folders_.push_back(fs::absolute("home") / ".vst3");
#endif
        for (const fs::path& folder : folders_) {
            fs::remove_all(folder / kVendor);
            copyPackage("Recorder", folder / kVendor / "Recorder.vst3");
            append(expected_, moduleLines("Recorder", folder / kVendor / "Recorder.vst3"));
        }
    }
    ~StandardFolderPlugins()
    {
        std::error_code ignored;
        for (const fs::path& folder : folders_)
            fs::remove_all(folder / kVendor, ignored);
#ifndef _WIN32
        if (savedHome_)
            setenv("HOME", savedHome_->c_str(), 1);
        else
            unsetenv("HOME");
#endif
    }
    StandardFolderPlugins(const StandardFolderPlugins&) = delete;
    StandardFolderPlugins& operator=(const StandardFolderPlugins&) = delete;

    const std::vector<std::string>& expected() const { return expected_; }

private:
    static constexpr const char* kVendor = "Talven Scan Test";
#ifdef _WIN32
    static std::optional<fs::path> knownFolder(const KNOWNFOLDERID& id)
    {
        wchar_t* found = nullptr;
        const bool ok = SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &found)) && found;
        const std::optional<fs::path> folder = ok ? std::optional<fs::path>(found) : std::nullopt;
        CoTaskMemFree(found);
        return folder;
    }
#else
    std::optional<std::string> savedHome_;
#endif
    std::vector<fs::path> folders_;
    std::vector<std::string> expected_;
};

TEST(ScanTest, ScanWithoutFoldersReadsTheStandardFoldersUsersFirst)
{
    StandardFolderPlugins installed;
    const PluginLeaksIgnored zamVerbLeaks; // natively /usr/lib/vst3 is scanned too
    ASSERT_FALSE(installed.expected().empty());
    const ToolRun run = runApply({"--scan"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    const std::vector<std::string>& expected = installed.expected();
    ASSERT_GE(lines.size(), expected.size()) << run.out;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(expected.size())), expected);
}

} // namespace
