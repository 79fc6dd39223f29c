#include "presets/ReplacementFileSystem.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace talven::replacement {

// The 8-bit ("A") calls read paths in the system's code page, as fopen does,
// so that every step names the same file.

std::string resolveTarget(const std::string& target)
{
    return target;
}

bool mayReplace(const std::string& target)
{
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::FILE* createExclusive(const std::string& path, const std::string&)
{
    const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) {
        _close(fd);
        DeleteFileA(path.c_str());
    }
    return file;
}

bool flushToDisk(std::FILE* file)
{
    return std::fflush(file) == 0 && !std::ferror(file) && _commit(_fileno(file)) == 0;
}

bool replace(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeFile(const std::string& path)
{
    DeleteFileA(path.c_str());
}

unsigned long processId()
{
    return GetCurrentProcessId();
}

} // namespace talven::replacement
