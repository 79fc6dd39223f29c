#include "Random.h"

#include <chrono>
#include <random>

namespace talven::validate {
namespace {

std::uint64_t rotateLeft(std::uint64_t value, int bits)
{
    return (value << bits) | (value >> (64 - bits));
}

std::uint64_t hashText(std::string_view text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

} // namespace

std::uint64_t mix64(std::uint64_t value)
{
    value += 0x9e3779b97f4a7c15ull;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ull;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebull;
    return value ^ (value >> 31);
}

Random::Random(std::uint64_t seed)
{
    for (std::uint64_t& word : state_) {
        seed = mix64(seed);
        word = seed;
    }
}

Random Random::derived(std::uint64_t seed, std::string_view part, std::uint64_t index)
{
    return Random(mix64(seed ^ hashText(part)) ^ mix64(index + 1));
}

std::uint64_t Random::next()
{
    const std::uint64_t result = rotateLeft(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotateLeft(state_[3], 45);
    return result;
}

std::uint64_t Random::below(std::uint64_t bound)
{
    if (bound == 0)
        return 0;
    // Rejection keeps the result unbiased.
    const std::uint64_t limit = ~std::uint64_t(0) - (~std::uint64_t(0) % bound);
    std::uint64_t value = next();
    while (value >= limit)
        value = next();
    return value % bound;
}

std::int64_t Random::between(std::int64_t low, std::int64_t high)
{
    return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low) + 1));
}

double Random::unit()
{
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

std::uint64_t freshSeed()
{
    std::random_device device;
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    // Keep printed seeds short enough to type back.
    return mix64((static_cast<std::uint64_t>(device()) << 32) ^ device() ^ now) % 1000000000ull;
}

} // namespace talven::validate
