#include "RecordedPlugin.h"

#include <algorithm>
#include <sstream>

namespace talven::test {
namespace {

template <typename Proc>
Proc symbol(LibraryHandle library, const char* name)
{
    return reinterpret_cast<Proc>(librarySymbol(library, name));
}

} // namespace

std::string testPluginPath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

RecordedPlugin::RecordedPlugin(const std::string& name) : path_(testPluginPath(name))
{
#ifdef _WIN32
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/" + name + ".vst3";
#else
    const std::string inner = path_ + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/" + name + ".so";
#endif
    std::string error;
    library_ = loadLibrary(inner, error);
    if (library_)
        clear();
}

RecordedPlugin::~RecordedPlugin()
{
    freeLibrary(library_);
}

std::vector<RecordedPlugin::Call> RecordedPlugin::calls() const
{
    auto read = symbol<TalvenTestReadCallsProc>(library_, TALVEN_TEST_READ_CALLS);
    std::vector<Call> result;
    if (!read)
        return result;
    std::string text(static_cast<size_t>(read(nullptr, 0)) + 1, '\0');
    read(&text[0], static_cast<int>(text.size()));
    std::istringstream lines(text.c_str());
    std::string line;
    while (std::getline(lines, line)) {
        const size_t at = line.rfind('@');
        result.push_back({line.substr(0, at), std::stoull(line.substr(at + 1))});
    }
    return result;
}

std::vector<std::string> RecordedPlugin::callNames() const
{
    std::vector<std::string> names;
    for (const Call& call : calls())
        names.push_back(call.name);
    return names;
}

bool RecordedPlugin::called(const std::string& name) const
{
    return indexOf(name) >= 0;
}

int RecordedPlugin::indexOf(const std::string& name) const
{
    const auto names = callNames();
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

void RecordedPlugin::clear() const
{
    if (auto clearCalls = symbol<TalvenTestClearCallsProc>(library_, TALVEN_TEST_CLEAR_CALLS))
        clearCalls();
}

unsigned long long RecordedPlugin::threadTag() const
{
    auto tag = symbol<TalvenTestThreadTagProc>(library_, TALVEN_TEST_THREAD_TAG);
    return tag ? tag() : 0;
}

int RecordedPlugin::controllerEdit(unsigned id, double value, int* results) const
{
    auto edit = symbol<TalvenTestControllerEditProc>(library_, TALVEN_TEST_CONTROLLER_EDIT);
    return edit ? edit(id, value, results) : -2;
}

int RecordedPlugin::sendMessage(bool fromComponent, const char* id) const
{
    auto send = symbol<TalvenTestSendMessageProc>(library_, TALVEN_TEST_SEND_MESSAGE);
    return send ? send(fromComponent ? 1 : 0, id) : -2;
}

int RecordedPlugin::requestRestart(int flags) const
{
    auto request = symbol<TalvenTestRequestRestartProc>(library_, TALVEN_TEST_REQUEST_RESTART);
    return request ? request(flags) : -2;
}

} // namespace talven::test
