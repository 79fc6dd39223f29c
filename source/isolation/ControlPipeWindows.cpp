#include "isolation/ControlPipe.h"

#include <cinttypes>
#include <cstdio>
#include <windows.h>

namespace talven {
namespace {

std::uint64_t numberOf(HANDLE handle)
{
    return reinterpret_cast<std::uintptr_t>(handle);
}

HANDLE handleOf(std::uint64_t number)
{
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(number));
}

// One pipe each way; this end reads one and writes the other.
class PipePair final : public ControlPipe {
public:
    PipePair(HANDLE read, HANDLE write) : read_(read), write_(write) {}
    ~PipePair() override
    {
        CloseHandle(read_);
        CloseHandle(write_);
    }

    std::string token() const override
    {
        char text[48];
        std::snprintf(text, sizeof text, "%" PRIu64 ":%" PRIu64, numberOf(read_), numberOf(write_));
        return text;
    }
    std::vector<std::uint64_t> inheritedHandles() const override { return {numberOf(read_), numberOf(write_)}; }

    bool writeAll(const void* data, std::size_t bytes) override
    {
        const auto* from = static_cast<const char*>(data);
        while (bytes > 0) {
            DWORD written = 0;
            const DWORD chunk = bytes > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes);
            if (!WriteFile(write_, from, chunk, &written, nullptr) || written == 0)
                return false;
            from += written;
            bytes -= written;
        }
        return true;
    }

    bool readAll(void* data, std::size_t bytes) override
    {
        auto* to = static_cast<char*>(data);
        while (bytes > 0) {
            DWORD got = 0;
            const DWORD chunk = bytes > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes);
            if (!ReadFile(read_, to, chunk, &got, nullptr) || got == 0)
                return false;
            to += got;
            bytes -= got;
        }
        return true;
    }

private:
    HANDLE read_;
    HANDLE write_;
};

} // namespace

ControlPipe::Pair ControlPipe::create()
{
    // The child's ends inheritable, the program's not: a child holding the
    // program's ends would keep the pipes open after the program's side went.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE toChildRead = nullptr, toChildWrite = nullptr, fromChildRead = nullptr, fromChildWrite = nullptr;
    if (!CreatePipe(&toChildRead, &toChildWrite, &inherit, 0))
        return {};
    if (!CreatePipe(&fromChildRead, &fromChildWrite, &inherit, 0)) {
        CloseHandle(toChildRead);
        CloseHandle(toChildWrite);
        return {};
    }
    SetHandleInformation(toChildWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChildRead, HANDLE_FLAG_INHERIT, 0);
    return {std::make_unique<PipePair>(fromChildRead, toChildWrite),
            std::make_unique<PipePair>(toChildRead, fromChildWrite)};
}

std::unique_ptr<ControlPipe> ControlPipe::open(const std::string& token)
{
    std::uint64_t read = 0, write = 0;
    char trailing = 0;
    if (std::sscanf(token.c_str(), "%" SCNu64 ":%" SCNu64 "%c", &read, &write, &trailing) != 2)
        return nullptr;
    DWORD type = GetFileType(handleOf(read));
    if (type != FILE_TYPE_PIPE || GetFileType(handleOf(write)) != FILE_TYPE_PIPE)
        return nullptr;
    // Not handed on to processes this one starts.
    SetHandleInformation(handleOf(read), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(handleOf(write), HANDLE_FLAG_INHERIT, 0);
    return std::make_unique<PipePair>(handleOf(read), handleOf(write));
}

} // namespace talven
