// What talven-apply does differently on Linux and on Windows.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace talven::apply {

// The command-line arguments without the program name, as UTF-8 on Windows
// (read from the wide command line, not the ANSI one), as given on Linux.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Parts the tool's results from everything else written to standard
// output: from now on, what Talven (its module-loading console lines) and
// plug-ins write there goes to standard error, so that scripts can read the
// results. Returns the stream on the real standard output for the results
// (stdout itself when it cannot be parted).
std::FILE* partStandardOutput();

// Where VST 3 plug-ins are installed, user folders first: ~/.vst3,
// /usr/lib/vst3 and /usr/local/lib/vst3 on Linux; on Windows the VST3
// folder of the user's (%LOCALAPPDATA%\Programs\Common) and of the common
// program files.
std::vector<std::filesystem::path> standardPluginFolders();

} // namespace talven::apply
