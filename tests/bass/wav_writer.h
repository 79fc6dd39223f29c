// Writes small WAV files for the file-stream tests on both targets (the
// Windows build has no libsndfile), including the odd shapes a reader must
// survive.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace basstest {

struct WavLayout {
    std::uint16_t chans = 2;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
    bool isFloat = false;
    bool extensible = false; // WAVE_FORMAT_EXTENSIBLE with the same format as subtype
};

inline void putLe(std::string &out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The "fmt " chunk body for `layout`.
inline std::string formatChunk(const WavLayout &layout) {
    std::string fmt;
    const std::uint16_t tag = layout.isFloat ? 3 : 1;
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(layout.chans * (layout.bits / 8));
    putLe(fmt, layout.extensible ? 0xFFFE : tag, 2);
    putLe(fmt, layout.chans, 2);
    putLe(fmt, layout.rate, 4);
    putLe(fmt, static_cast<std::uint64_t>(layout.rate) * blockAlign, 4);
    putLe(fmt, blockAlign, 2);
    putLe(fmt, layout.bits, 2);
    if (layout.extensible) {
        putLe(fmt, 22, 2);
        putLe(fmt, layout.bits, 2);
        putLe(fmt, 0, 4); // no speaker mask
        putLe(fmt, tag, 2);
        const unsigned char tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        fmt.append(reinterpret_cast<const char *>(tail), sizeof tail);
    }
    return fmt;
}

inline std::string chunk(const char *id, const std::string &body, std::uint64_t declaredSize) {
    std::string out(id, 4);
    putLe(out, declaredSize, 4);
    out += body;
    if (body.size() & 1)
        out.push_back('\0');
    return out;
}

// A whole file from raw chunks; `chunks` follow "RIFF" size "WAVE".
inline void writeRiff(const std::string &path, const std::string &chunks) {
    std::string file = "RIFF";
    putLe(file, 4 + chunks.size(), 4);
    file += "WAVE";
    file += chunks;
    std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
}

// Sample data as stored: integer codes of `layout.bits` (8-bit unsigned), or
// float bit patterns when isFloat.
inline std::string sampleBytes(const WavLayout &layout, const std::vector<double> &values) {
    std::string data;
    for (double v : values) {
        if (layout.isFloat) {
            const float f = static_cast<float>(v);
            std::uint32_t bitsOf = 0;
            std::memcpy(&bitsOf, &f, sizeof f);
            putLe(data, bitsOf, 4);
        } else {
            putLe(data, static_cast<std::uint64_t>(static_cast<std::int64_t>(v)), layout.bits / 8);
        }
    }
    return data;
}

// A plain WAV file: a "LIST" chunk before "fmt " (readers must skip what
// they do not know), then the data.
inline void writeWav(const std::string &path, const WavLayout &layout, const std::vector<double> &values) {
    const std::string data = sampleBytes(layout, values);
    writeRiff(path, chunk("LIST", "INFOjunk!", 9) + chunk("fmt ", formatChunk(layout), formatChunk(layout).size()) +
                        chunk("data", data, data.size()));
}

// 16-bit `chans`-channel file whose sample (frame n, channel c) is n + 1000 * c,
// so any frame can be recognised after a seek (keep frames + 1000 * (chans -
// 1) below 32768).
inline void writeCountingWav(const std::string &path, std::uint16_t chans, int frames, std::uint32_t rate = 44100) {
    std::vector<double> values;
    for (int n = 0; n < frames; ++n)
        for (int c = 0; c < chans; ++c)
            values.push_back(n + 1000 * c);
    WavLayout layout;
    layout.chans = chans;
    layout.rate = rate;
    writeWav(path, layout, values);
}

} // namespace basstest
