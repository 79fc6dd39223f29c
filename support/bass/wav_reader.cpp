// The engine's own WAV decoder, so file streams work where libsndfile is not
// linked (Windows). Both targets are little-endian, as WAV is.
#include "file_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace talvenbass {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// The bytes of KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT after the format tag.
constexpr unsigned char kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t u16(const unsigned char *p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const unsigned char *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool seekTo(std::FILE *file, QWORD offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

QWORD fileSize(std::FILE *file) {
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return 0;
    const long long size = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0)
        return 0;
    const off_t size = ftello(file);
#endif
    return size > 0 ? static_cast<QWORD>(size) : 0;
}

bool readAt(std::FILE *file, QWORD offset, unsigned char *out, std::size_t bytes) {
    return seekTo(file, offset) && std::fread(out, 1, bytes, file) == bytes;
}

struct WavFormat {
    std::uint16_t tag = 0;
    DWORD chans = 0;
    DWORD freq = 0;
    DWORD blockAlign = 0;
    DWORD bits = 0;
    DWORD validBits = 0;

    bool supported() const {
        if (chans == 0 || freq == 0 || blockAlign != chans * (bits / 8))
            return false;
        if (tag == kFormatPcm)
            return bits == 8 || bits == 16 || bits == 24 || bits == 32;
        return tag == kFormatFloat && bits == 32;
    }
};

// Parses a "fmt " chunk body; false for one too short to be a format.
bool parseFormat(const unsigned char *body, std::uint32_t size, WavFormat &format) {
    if (size < 16)
        return false;
    format.tag = u16(body);
    format.chans = u16(body + 2);
    format.freq = u32(body + 4);
    format.blockAlign = u16(body + 12);
    format.bits = u16(body + 14);
    format.validBits = format.bits;
    if (format.tag != kFormatExtensible)
        return true;
    if (size < 40)
        return false;
    if (const std::uint16_t valid = u16(body + 18); valid > 0 && valid <= format.bits)
        format.validBits = valid;
    // A subtype outside the usual GUID family keeps the extensible tag,
    // which no reader here decodes.
    if (std::memcmp(body + 26, kSubtypeTail, sizeof kSubtypeTail) == 0)
        format.tag = u16(body + 24);
    return true;
}

class WavReader final : public FileReader {
public:
    WavReader(FilePtr file, const WavFormat &format, QWORD dataStart, QWORD frames)
        : file_(std::move(file)), format_(format), dataStart_(dataStart), frames_(frames) {}

    DWORD read(float *out, DWORD frames) override {
        const DWORD wanted = static_cast<DWORD>(std::min<QWORD>(frames, frames_ - position_));
        raw_.resize(static_cast<std::size_t>(wanted) * format_.blockAlign);
        const std::size_t bytes = raw_.empty() ? 0 : std::fread(raw_.data(), 1, raw_.size(), file_.get());
        // A short read (a file cut short or failing) ends this block early,
        // which the caller takes for the end.
        const DWORD got = static_cast<DWORD>(bytes / format_.blockAlign);
        if (got > 0)
            decode(raw_.data(), out, static_cast<std::size_t>(got) * format_.chans);
        position_ += got;
        return got;
    }

    bool seek(QWORD frame) override {
        frame = std::min(frame, frames_);
        if (!seekTo(file_.get(), dataStart_ + frame * format_.blockAlign))
            return false;
        position_ = frame;
        return true;
    }

    QWORD frames() const override { return frames_; }

private:
    void decode(const unsigned char *in, float *out, std::size_t samples) const {
        switch (format_.bits) {
        case 8:
            for (std::size_t i = 0; i < samples; ++i)
                out[i] = (static_cast<int>(in[i]) - 128) / 128.0f;
            break;
        case 16:
            for (std::size_t i = 0; i < samples; ++i, in += 2)
                out[i] = static_cast<std::int16_t>(u16(in)) / 32768.0f;
            break;
        case 24:
            for (std::size_t i = 0; i < samples; ++i, in += 3) {
                // Into the top of an int32, so the sign comes along; float
                // holds the 24 significant bits exactly.
                const std::uint32_t top = static_cast<std::uint32_t>(in[0]) << 8 |
                                          static_cast<std::uint32_t>(in[1]) << 16 |
                                          static_cast<std::uint32_t>(in[2]) << 24;
                out[i] = static_cast<float>(static_cast<std::int32_t>(top)) / 2147483648.0f;
            }
            break;
        case 32:
            if (format_.tag == kFormatFloat)
                std::memcpy(out, in, samples * sizeof(float));
            else
                for (std::size_t i = 0; i < samples; ++i, in += 4)
                    out[i] = static_cast<float>(static_cast<std::int32_t>(u32(in)) / 2147483648.0);
            break;
        }
    }

    FilePtr file_;
    WavFormat format_;
    const QWORD dataStart_;
    const QWORD frames_; // read from any thread by BASS_ChannelGetLength
    QWORD position_ = 0;
    std::vector<unsigned char> raw_; // one block of file data, grown as needed
};

} // namespace

OpenedReader openWav(FilePtr file) {
    OpenedReader result;
    result.error = BASS_ERROR_FILEFORM;
    const QWORD size = fileSize(file.get());
    unsigned char header[12];
    if (size < 12 || !readAt(file.get(), 0, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        result.foreign = true;
        return result;
    }

    WavFormat format;
    bool haveFormat = false;
    QWORD dataStart = 0;
    QWORD dataBytes = 0;
    bool haveData = false;
    for (QWORD at = 12; at + 8 <= size && !(haveFormat && haveData);) {
        unsigned char chunk[8];
        if (!readAt(file.get(), at, chunk, sizeof chunk))
            return result;
        const std::uint32_t chunkSize = u32(chunk + 4);
        const QWORD body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            unsigned char fmt[40] = {};
            const std::uint32_t take = std::min<std::uint32_t>(chunkSize, sizeof fmt);
            if (body + take > size || !readAt(file.get(), body, fmt, take) || !parseFormat(fmt, chunkSize, format))
                return result;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !haveData) {
            // Writers that stream may leave the size open (~0): take what is there.
            dataStart = body;
            dataBytes = std::min<QWORD>(chunkSize, size - body);
            haveData = true;
        }
        at = body + chunkSize + (chunkSize & 1);
    }
    if (haveFormat && format.tag != kFormatPcm && format.tag != kFormatFloat) {
        result.foreign = true;
        return result;
    }
    if (!haveFormat || !haveData || !format.supported())
        return result;

    result.freq = format.freq;
    result.chans = format.chans;
    result.ctype = format.tag == kFormatFloat ? BASS_CTYPE_STREAM_WAV_FLOAT : BASS_CTYPE_STREAM_WAV_PCM;
    result.origres = format.tag == kFormatFloat ? (32 | BASS_ORIGRES_FLOAT) : format.validBits;
    const QWORD frames = dataBytes / format.blockAlign;
    auto reader = std::make_unique<WavReader>(std::move(file), format, dataStart, frames);
    if (!reader->seek(0))
        return result;
    result.reader = std::move(reader);
    result.error = BASS_OK;
    return result;
}

} // namespace talvenbass
