// The validator's one source of randomness: every random choice of a run
// comes from the run's seed, so that --seed repeats it.
#pragma once

#include <cstdint>
#include <string_view>

namespace talven::validate {

// xoshiro256**, seeded through splitmix64. One per thread; not thread-safe.
class Random {
public:
    explicit Random(std::uint64_t seed);

    // The stream of one named part of a run (a check, a thread of a check).
    static Random derived(std::uint64_t seed, std::string_view part, std::uint64_t index = 0);

    std::uint64_t next();
    // Uniform in [0, bound); 0 when bound is 0.
    std::uint64_t below(std::uint64_t bound);
    // Uniform in [low, high], both included.
    std::int64_t between(std::int64_t low, std::int64_t high);
    // Uniform in [0, 1).
    double unit();
    bool chance(double probability) { return unit() < probability; }

private:
    std::uint64_t state_[4];
};

// A seed for a run that did not ask for one.
std::uint64_t freshSeed();

// splitmix64's mixing step: a well-spread 64-bit hash of value.
std::uint64_t mix64(std::uint64_t value);

} // namespace talven::validate
