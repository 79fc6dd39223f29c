#include "isolation/HostProcess.h"

#include "platform/TextConversion.h"

#include <windows.h>

namespace talven {
namespace {

class WindowsHostProcess final : public HostProcess {
public:
    explicit WindowsHostProcess(HANDLE process) : process_(process) {}
    ~WindowsHostProcess() override
    {
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        CloseHandle(process_);
    }

    void waitForEnd() override { WaitForSingleObject(process_, INFINITE); }

    void kill() override { TerminateProcess(process_, 1); }

private:
    HANDLE process_;
};

// One argument quoted for CommandLineToArgvW's rules: backslashes are
// literal unless they precede a quote.
void appendQuoted(std::wstring& line, const std::wstring& argument)
{
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

} // namespace

std::unique_ptr<HostProcess> HostProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                                                const std::vector<std::uint64_t>& inherited,
                                                const std::vector<std::string>&)
{
    const auto wideProgram = utf8ToWide(program);
    if (!wideProgram)
        return nullptr;
    std::wstring line;
    appendQuoted(line, *wideProgram);
    for (const std::string& argument : arguments) {
        const auto wide = utf8ToWide(argument);
        if (!wide)
            return nullptr;
        line += L' ';
        appendQuoted(line, *wide);
    }

    // Only the handles named are inherited, whatever else of this process
    // is inheritable.
    std::vector<HANDLE> handles;
    for (std::uint64_t handle : inherited)
        handles.push_back(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(handle)));
    SIZE_T attributeBytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeBytes);
    std::vector<unsigned char> attributeMemory(attributeBytes);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeMemory.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributeBytes))
        return nullptr;
    const bool listed = handles.empty()
        || UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                     handles.size() * sizeof(HANDLE), nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION info{};
    const BOOL started = listed
        && CreateProcessW(wideProgram->c_str(), line.data(), nullptr, nullptr, handles.empty() ? FALSE : TRUE,
                          EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup.StartupInfo, &info);
    DeleteProcThreadAttributeList(attributes);
    if (!started)
        return nullptr;
    CloseHandle(info.hThread);
    return std::make_unique<WindowsHostProcess>(info.hProcess);
}

} // namespace talven
