// talven-apply: runs an audio file through a VST 3 effect by way of BASS and
// Talven, using only their public interfaces; describes plug-ins and finds
// the installed ones.
#include "Apply.h"
#include "Options.h"
#include "PathText.h"
#include "Platform.h"
#include "Scan.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

int runScan(const talven::apply::Options& options, std::FILE* out)
{
    std::vector<std::filesystem::path> folders;
    for (const std::string& folder : options.scanFolders) {
        const std::optional<std::filesystem::path> path = talven::apply::pathFromArgument(folder);
        if (!path) {
            std::fprintf(stderr, "talven-apply: the folder name '%s' is not UTF-8\n", folder.c_str());
            return 2;
        }
        folders.push_back(*path);
    }
    const bool standard = folders.empty();
    if (standard)
        folders = talven::apply::standardPluginFolders();
    return talven::apply::scanFolders(folders, standard, out, stderr) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        std::string error;
        const std::optional<talven::apply::Options> options =
            talven::apply::parseOptions(talven::apply::commandLineArguments(argc, argv), error);
        if (!options) {
            std::fprintf(stderr, "talven-apply: %s (see talven-apply --help)\n", error.c_str());
            return 2;
        }
        if (options->help) {
            std::fputs(talven::apply::usageText(), stdout);
            return 0;
        }
        std::FILE* const out = talven::apply::partStandardOutput();
        if (options->scan)
            return runScan(*options, out);
        if (!talven::apply::runApply(*options, out, error)) {
            std::fprintf(stderr, "talven-apply: %s\n", error.c_str());
            return 1;
        }
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "talven-apply: %s\n", failure.what());
        return 1;
    }
}
