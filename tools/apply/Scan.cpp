#include "Scan.h"

#include "ModuleClasses.h"
#include "ModuleInfoJson.h"
#include "PathText.h"
#include "PrintableText.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <set>
#include <string>
#include <system_error>

namespace talven::apply {
namespace {

namespace fs = std::filesystem;

// Vendor folders nest a level or two; this bounds a walk down a deep tree.
constexpr int kDeepestFolder = 16;

// ".vst3" in any letter case, for both kinds of file name character.
bool hasVst3Extension(const fs::path& path)
{
    const fs::path::string_type extension = path.extension().native();
    const char expected[] = ".vst3";
    if (extension.size() != sizeof expected - 1)
        return false;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        auto c = extension[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<fs::path::value_type>(c - 'A' + 'a');
        if (c != static_cast<fs::path::value_type>(expected[i]))
            return false;
    }
    return true;
}

class Scanner {
public:
    Scanner(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    void scanRoot(const fs::path& root, bool standard);
    bool allRead() const { return allRead_; }

private:
    void scanFolder(const fs::path& folder, int depth);
    void scanPlugin(const fs::path& path);
    bool listFromModuleInfo(const fs::path& package);
    void listFromModule(const fs::path& path);
    void printClass(const char* source, const ModuleClass& each, const fs::path& path);
    void warn(const fs::path& path, const std::string& what);
    // A warning about a folder left unread, which fails the scan.
    void unread(const fs::path& path, const std::string& what);
    bool firstVisit(const fs::path& folder);

    std::FILE* out_;
    std::FILE* err_;
    std::set<fs::path> visited_;
    bool allRead_ = true;
};

void Scanner::scanRoot(const fs::path& given, bool standard)
{
    // "Plugin.vst3/", as a shell completes a folder, names the package.
    fs::path root = given;
    while (!root.has_filename() && root.has_relative_path())
        root = root.parent_path();
    std::error_code error;
    const fs::file_status status = fs::status(root, error);
    if (error && status.type() != fs::file_type::not_found) {
        unread(root, "cannot be read: " + error.message());
    } else if (!fs::exists(status)) {
        if (!standard)
            unread(root, "no such folder");
    } else if (hasVst3Extension(root)) {
        scanPlugin(root);
    } else if (fs::is_directory(status)) {
        if (firstVisit(root))
            scanFolder(root, 0);
    } else {
        unread(root, "neither a folder nor a plug-in");
    }
}

// Entries in name order, so that a scan prints the same twice; a plug-in
// is listed, any other folder walked (symbolic links followed, each folder
// once).
void Scanner::scanFolder(const fs::path& folder, int depth)
{
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error)
        unread(folder, "cannot read the folder: " + error.message());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) {
        if (hasVst3Extension(entry)) {
            scanPlugin(entry);
        } else if (fs::is_directory(entry, error) && firstVisit(entry)) {
            if (depth + 1 < kDeepestFolder)
                scanFolder(entry, depth + 1);
            else
                unread(entry, "nested too deep");
        }
    }
}

// A package's moduleinfo.json where it has a well-formed one, else the
// module itself.
void Scanner::scanPlugin(const fs::path& path)
{
    try {
        std::error_code error;
        if (!fs::is_directory(path, error) || !listFromModuleInfo(path))
            listFromModule(path);
    } catch (const std::exception& failure) {
        warn(path, failure.what());
        std::fprintf(out_, "failed\t\t\t\t\t\t\t%s\n", printablePath(path).c_str());
    }
    // Lines as they come, between the warnings, on a terminal.
    std::fflush(out_);
}

bool Scanner::listFromModuleInfo(const fs::path& package)
{
    const std::optional<fs::path> file = findModuleInfo(package);
    if (!file)
        return false;
    std::string error;
    const std::optional<std::vector<ModuleClass>> classes = readModuleInfo(*file, error);
    if (!classes) {
        warn(*file, error + "; loading the module instead");
        return false;
    }
    for (const ModuleClass& each : *classes)
        printClass("json", each, package);
    return true;
}

void Scanner::listFromModule(const fs::path& path)
{
    const std::optional<std::string> name = utf8Path(path);
    if (!name)
        warn(path, "the name is not UTF-8 text, which Talven takes");
    const std::optional<std::vector<ModuleClass>> classes = name ? loadModuleClasses(*name) : std::nullopt;
    if (!classes) {
        std::fprintf(out_, "failed\t\t\t\t\t\t\t%s\n", printablePath(path).c_str());
        return;
    }
    for (const ModuleClass& each : *classes)
        printClass("module", each, path);
}

void Scanner::printClass(const char* source, const ModuleClass& each, const fs::path& path)
{
    std::fprintf(out_, "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", source, printable(each.name).c_str(),
                 printable(each.vendor).c_str(), printable(each.category).c_str(),
                 printable(each.subCategories).c_str(), printable(each.version).c_str(),
                 printable(each.classId).c_str(), printablePath(path).c_str());
}

void Scanner::warn(const fs::path& path, const std::string& what)
{
    std::fprintf(err_, "talven-apply: %s: %s\n", printablePath(path).c_str(), printable(what).c_str());
}

void Scanner::unread(const fs::path& path, const std::string& what)
{
    warn(path, what);
    allRead_ = false;
}

bool Scanner::firstVisit(const fs::path& folder)
{
    std::error_code error;
    const fs::path canonical = fs::canonical(folder, error);
    return visited_.insert(error ? folder : canonical).second;
}

} // namespace

bool scanFolders(const std::vector<fs::path>& folders, bool standard, std::FILE* out, std::FILE* err)
{
    Scanner scanner(out, err);
    for (const fs::path& folder : folders)
        scanner.scanRoot(folder, standard);
    return scanner.allRead();
}

} // namespace talven::apply
