#include "BlockTrace.h"

#include <filesystem>
#include <fstream>

namespace talven::validate {

BlockTrace readBlockTrace(const std::string& utf8Path)
{
    BlockTrace trace;
    std::ifstream in(std::filesystem::u8path(utf8Path), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("processAudio: start>>>") != std::string::npos)
            ++trace.blocks;
        else if (line.find("processAudio: process failed") != std::string::npos)
            ++trace.failed;
    }
    return trace;
}

} // namespace talven::validate
