// A check's working folder: its trace log, preset files, output and result
// land there, and it goes when the check is done.
#pragma once

#include <filesystem>
#include <string>

namespace talven::validate {

class ScratchFolder {
public:
    // A new empty folder under the system's temporary folder.
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    // A path inside the folder, UTF-8.
    std::string file(const char* name) const;
    std::string utf8() const { return path_.u8string(); }

private:
    std::filesystem::path path_;
};

// The text of a file, empty when it cannot be read.
std::string readTextFile(const std::string& utf8Path);

} // namespace talven::validate
