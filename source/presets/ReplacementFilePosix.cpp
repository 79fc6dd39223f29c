#include "presets/ReplacementFileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talven::replacement {

std::string resolveTarget(const std::string& target)
{
    struct stat status {};
    if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return target;
    char resolved[PATH_MAX];
    if (!realpath(target.c_str(), resolved))
        return target; // a dangling link is replaced as it is
    return resolved;
}

bool mayReplace(const std::string& target)
{
    struct stat status {};
    if (stat(target.c_str(), &status) != 0)
        return errno == ENOENT;
    // A read-only file stays protected, as it would from fopen's "wb".
    return S_ISREG(status.st_mode) && access(target.c_str(), W_OK) == 0;
}

std::FILE* createExclusive(const std::string& path, const std::string& target)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat status {};
    if (stat(target.c_str(), &status) == 0)
        fchmod(fd, status.st_mode & 07777);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(path.c_str());
    }
    return file;
}

bool flushToDisk(std::FILE* file)
{
    return std::fflush(file) == 0 && !std::ferror(file) && fsync(fileno(file)) == 0;
}

bool replace(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void removeFile(const std::string& path)
{
    unlink(path.c_str());
}

unsigned long processId()
{
    return static_cast<unsigned long>(getpid());
}

} // namespace talven::replacement
