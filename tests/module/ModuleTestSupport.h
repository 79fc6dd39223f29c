#pragma once

#include "EntryLog.h"

#include <string>

namespace talven::test {

// Where the test plug-ins of this build tree are.
std::string packagePath(const std::string& name);
std::string innerLibraryPath(const std::string& name);

// The module loader's texts that differ between the platforms.
extern const char* const kPlainLoadFailurePrefix;
extern const char* const kNoFactoryText;
extern const char* const kInitFailedText;

// True while the library at path is mapped into the process; asks the system
// without adding a load of its own.
bool isLibraryLoaded(const std::string& path);

// Keeps one load of a test plug-in's library of its own for the test's
// length, so that its entry-point record stays readable after the modules
// under test have let it go.
class PinnedPlugin {
public:
    explicit PinnedPlugin(const std::string& name);
    ~PinnedPlugin();
    PinnedPlugin(const PinnedPlugin&) = delete;
    PinnedPlugin& operator=(const PinnedPlugin&) = delete;

    TalvenTestEntryCounts counts() const;
    void* handle() const { return library_; }

private:
    void* library_ = nullptr;
};

// Captures what is written to standard output meanwhile, split into lines.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    std::string lines();

private:
    bool capturing_ = true;
};

} // namespace talven::test
