#include "ScratchFolder.h"

#include "Random.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace talven::validate {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder()
{
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error)
        return;
    Random random(freshSeed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("talven-validate-" + std::to_string(random.next() % 1000000000000ull));
        if (fs::create_directory(candidate, error) && !error) {
            path_ = candidate;
            return;
        }
    }
}

ScratchFolder::~ScratchFolder()
{
    if (path_.empty())
        return;
    std::error_code error;
    fs::remove_all(path_, error);
}

std::string ScratchFolder::file(const char* name) const
{
    return (path_ / name).u8string();
}

std::string readTextFile(const std::string& utf8Path)
{
    std::ifstream in(fs::u8path(utf8Path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace talven::validate
