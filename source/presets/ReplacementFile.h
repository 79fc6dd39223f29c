#pragma once

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/smartpointer.h"

#include <string>

namespace talven {

// A new file written beside the file it is to replace, and put in its place
// only once written whole: until commit succeeds, a file already at the
// target keeps its old content, and a failed or abandoned replacement leaves
// nothing behind. Caller's thread; two replacements of one target may run at
// once, and the later commit wins with a whole file.
class ReplacementFile {
public:
    // Creates the new file. stream() is null when there is no target name,
    // when the target is no file the caller may replace (a directory, a
    // read-only file) or when the new file cannot be created.
    explicit ReplacementFile(const char* target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The new file, positioned at 0 (a FileStream), or null.
    Steinberg::IBStream* stream() const;

    // Brings everything written to the disk, closes the new file and puts it
    // in the target's place. False when any of that fails; the new file is
    // then removed and the target left as it was.
    bool commit();

private:
    class DurableFileStream;
    void discard();

    std::string target_;
    std::string temporary_;
    Steinberg::IPtr<DurableFileStream> stream_;
    bool created_ = false;
};

} // namespace talven
