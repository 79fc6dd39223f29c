#pragma once

#include "RecordingExports.h"

#include "platform/DynamicLibrary.h"

#include <string>
#include <vector>

namespace talven::test {

// The package path of a test plug-in built by this tree.
std::string testPluginPath(const std::string& name);

// Opens a recording test plug-in's library beside the library's own load
// (the system counts the loads) to read its call log and drive its test
// controls.
class RecordedPlugin {
public:
    explicit RecordedPlugin(const std::string& name);
    ~RecordedPlugin();
    RecordedPlugin(const RecordedPlugin&) = delete;
    RecordedPlugin& operator=(const RecordedPlugin&) = delete;

    bool loaded() const { return library_ != nullptr; }
    const std::string& path() const { return path_; }

    struct Call {
        std::string name;
        unsigned long long thread;
    };
    std::vector<Call> calls() const;
    std::vector<std::string> callNames() const;
    bool called(const std::string& name) const;
    // Position of the first call named name, -1 when absent.
    int indexOf(const std::string& name) const;
    void clear() const;
    unsigned long long threadTag() const;
    int controllerEdit(unsigned id, double value, int* results) const;
    int sendMessage(bool fromComponent, const char* id) const;
    // The plug-in's controller asks the host for a restart with these flags:
    // the handler's answer.
    int requestRestart(int flags) const;

private:
    std::string path_;
    LibraryHandle library_ = nullptr;
};

} // namespace talven::test
