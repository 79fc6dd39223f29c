#include "ChildProcess.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace talven::validate {
namespace {

std::wstring wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

std::string narrow(const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::string();
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(length - 1));
    return result;
}

// One argument quoted as CommandLineToArgvW and the C runtime read it back:
// backslashes are literal except before a quote.
void appendQuoted(std::wstring& line, const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
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

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle()
    {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool ok() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

} // namespace

std::vector<std::string> commandLineArguments(int, char**)
{
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count && words; ++i)
        arguments.push_back(narrow(words[i]));
    LocalFree(words);
    return arguments;
}

std::string ownProgramPath()
{
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    return length > 0 && length < 32768 ? narrow(path) : std::string();
}

ProcessEnd runProcess(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputPath, const std::string& errorPath, std::chrono::seconds timeout)
{
    ProcessEnd end;
    std::wstring line;
    appendQuoted(line, wide(program));
    for (const std::string& argument : arguments) {
        line += L' ';
        appendQuoted(line, wide(argument));
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle output(CreateFileW(wide(outputPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Handle error(errorPath.empty() ? nullptr
                                   : CreateFileW(wide(errorPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr));
    if (!output.ok() || (!errorPath.empty() && !error.ok()))
        return end;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.ok() ? input.get() : nullptr;
    startup.hStdOutput = output.get();
    startup.hStdError = errorPath.empty() ? output.get() : error.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return end;
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    const auto milliseconds = static_cast<DWORD>(timeout.count() * 1000);
    if (WaitForSingleObject(process.hProcess, milliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
        end.kind = ProcessEnd::TimedOut;
        return end;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    // Exception codes (0xC0000005, ...) mean the process died of one.
    end.kind = (code & 0xF0000000u) == 0xC0000000u ? ProcessEnd::Crashed : ProcessEnd::Exited;
    end.code = static_cast<long>(code);
    return end;
}

std::string describeEnd(const ProcessEnd& end, std::chrono::seconds timeout)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(end.code));
    switch (end.kind) {
    case ProcessEnd::Exited:
        return "exited with code " + std::to_string(end.code);
    case ProcessEnd::Crashed:
        return std::string("crashed (exception ") + code +
               (static_cast<unsigned long>(end.code) == 0xC0000005ul ? ", access violation)" : ")");
    case ProcessEnd::TimedOut:
        return "timed out after " + std::to_string(timeout.count()) + " s";
    case ProcessEnd::NotStarted:
        break;
    }
    return "could not be started";
}

} // namespace talven::validate
