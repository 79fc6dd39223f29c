#include "instance/Transport.h"

#include <cmath>

namespace talven {

namespace {

// Layout of the packed word: tempo in millionths of a BPM (999e6 needs 30
// bits), then numerator and denominator in 8 bits each.
constexpr double kTempoUnits = 1e6;
constexpr int kTempoBits = 32;
constexpr std::uint64_t kByte = 0xFF;

} // namespace

bool Transport::valid(double tempo, std::int32_t numerator, std::int32_t denominator)
{
    // Written so that NaN fails every comparison.
    if (!(tempo >= kMinTempo && tempo <= kMaxTempo))
        return false;
    if (numerator < 1 || numerator > kMaxNumerator)
        return false;
    return denominator >= 1 && denominator <= kMaxDenominator && (denominator & (denominator - 1)) == 0;
}

std::uint64_t Transport::pack(double tempo, std::int32_t numerator, std::int32_t denominator)
{
    const auto units = static_cast<std::uint64_t>(std::llround(tempo * kTempoUnits));
    return units | (static_cast<std::uint64_t>(numerator) << kTempoBits)
           | (static_cast<std::uint64_t>(denominator) << (kTempoBits + 8));
}

bool Transport::set(double tempo, std::int32_t numerator, std::int32_t denominator)
{
    if (!valid(tempo, numerator, denominator))
        return false;
    packed_.store(pack(tempo, numerator, denominator), std::memory_order_relaxed);
    return true;
}

Transport::Setting Transport::get() const
{
    const std::uint64_t word = packed_.load(std::memory_order_relaxed);
    Setting setting;
    setting.tempo = static_cast<double>(word & 0xFFFFFFFFu) / kTempoUnits;
    setting.numerator = static_cast<std::int32_t>((word >> kTempoBits) & kByte);
    setting.denominator = static_cast<std::int32_t>((word >> (kTempoBits + 8)) & kByte);
    return setting;
}

} // namespace talven
