#pragma once

#include <atomic>
#include <cstdint>

namespace talven {

// The tempo and time signature a program set for one instance, read by the
// audio thread for every block. All three live in one atomic word so that a
// block never sees the tempo of one setting with the signature of another,
// and neither side ever waits.
class Transport {
public:
    struct Setting {
        double tempo;            // beats per minute
        std::int32_t numerator;
        std::int32_t denominator;
    };

    static constexpr double kMinTempo = 1.0;
    static constexpr double kMaxTempo = 999.0;
    static constexpr std::int32_t kMaxNumerator = 64;
    static constexpr std::int32_t kMaxDenominator = 64;

    // True for a tempo of 1 to 999 BPM, a numerator of 1 to 64 and a
    // denominator that is a power of two from 1 to 64.
    static bool valid(double tempo, std::int32_t numerator, std::int32_t denominator);

    // Stores a valid setting (false and nothing changed otherwise); the tempo
    // is kept to a millionth of a beat per minute. Any thread.
    bool set(double tempo, std::int32_t numerator, std::int32_t denominator);
    // The latest setting; 120 BPM in 4/4 until one is set. Any thread, the
    // audio thread included: never waits.
    Setting get() const;

private:
    static std::uint64_t pack(double tempo, std::int32_t numerator, std::int32_t denominator);
    std::atomic<std::uint64_t> packed_{pack(120.0, 4, 4)};
};

} // namespace talven
