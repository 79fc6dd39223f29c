#pragma once

#include <cstdio>
#include <string>

// The file-system calls a ReplacementFile makes, one implementation per
// operating system. Paths are 8-bit text as the C library's fopen takes it
// (on Windows in the system's 8-bit code page). Any thread.
namespace talven::replacement {

// The path of the file that will be replaced: the target itself, or on
// systems with symbolic links the file a link at target leads to, so that
// the link stays a link.
std::string resolveTarget(const std::string& target);

// False when target exists but cannot be replaced by the caller: a directory
// or other non-file, or a file the caller may not write. A missing target
// may be created.
bool mayReplace(const std::string& target);

// Creates path, which must not exist yet, for binary writing; an existing
// target lends the new file its access rights. Null on failure.
std::FILE* createExclusive(const std::string& path, const std::string& target);

// Flushes the C library's buffer and the system's cache to the disk.
bool flushToDisk(std::FILE* file);

// Puts from in to's place in one step, replacing a file there.
bool replace(const std::string& from, const std::string& to);

void removeFile(const std::string& path);

unsigned long processId();

} // namespace talven::replacement
