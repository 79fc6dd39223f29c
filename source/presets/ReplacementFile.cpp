#include "presets/ReplacementFile.h"

#include "presets/ReplacementFileSystem.h"

#include "public.sdk/source/vst/vstpresetfile.h"

#include <atomic>

namespace talven {

// The SDK's FileStream, able to tell whether what was written reached the
// disk: its own writes succeed as soon as the C library has buffered them.
class ReplacementFile::DurableFileStream : public Steinberg::Vst::FileStream {
public:
    explicit DurableFileStream(std::FILE* handle) : FileStream(handle) {}
    bool flushToDisk() { return replacement::flushToDisk(file); }

protected:
    ~DurableFileStream() override = default;
};

namespace {

// Names that no other replacement in this process, nor one in another
// process, takes at the same time.
std::string temporaryNameFor(const std::string& target)
{
    static std::atomic<unsigned long> counter{0};
    return target + "." + std::to_string(replacement::processId()) + "-" +
           std::to_string(counter.fetch_add(1, std::memory_order_relaxed) + 1) + ".tmp";
}

constexpr int kNameAttempts = 8;

} // namespace

ReplacementFile::ReplacementFile(const char* target)
{
    if (!target || !*target)
        return;
    target_ = replacement::resolveTarget(target);
    if (!replacement::mayReplace(target_))
        return;
    for (int attempt = 0; attempt < kNameAttempts && !created_; ++attempt) {
        temporary_ = temporaryNameFor(target_);
        std::FILE* handle = replacement::createExclusive(temporary_, target_);
        if (!handle)
            continue;
        created_ = true;
        // The stream owns the file from here on and closes it with its last reference.
        stream_ = Steinberg::owned(new DurableFileStream(handle));
    }
}

ReplacementFile::~ReplacementFile()
{
    discard();
}

Steinberg::IBStream* ReplacementFile::stream() const
{
    return stream_;
}

bool ReplacementFile::commit()
{
    if (!stream_ || !stream_->flushToDisk()) {
        discard();
        return false;
    }
    // Normally the last reference: the file closes here. A plug-in that kept
    // one from getState keeps it open, which some systems refuse to rename.
    stream_ = nullptr;
    if (!replacement::replace(temporary_, target_)) {
        discard();
        return false;
    }
    created_ = false;
    return true;
}

void ReplacementFile::discard()
{
    stream_ = nullptr;
    if (created_)
        replacement::removeFile(temporary_);
    created_ = false;
}

} // namespace talven
