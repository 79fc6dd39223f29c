// The plug-in's parameters as the checks use them: which ones a host may
// set, the values a sweep visits, and how closely a value must read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talven::validate {

class Random;

struct Parameter {
    std::int32_t index = 0;
    std::uint32_t id = 0;
    std::int32_t stepCount = 0; // 0: continuous
    std::int32_t flags = 0;     // VST 3 ParameterInfo flags
    double defaultValue = 0;
    std::string title;          // UTF-8
};

// Every parameter the instance describes; indexes it fails to describe are
// left out and counted in undescribed.
std::vector<Parameter> readParameters(std::uint32_t handle, int* undescribed = nullptr);

// A host may set it: neither read-only nor hidden.
bool isWritable(const Parameter& parameter);
// A program change or the plug-in's own bypass: setting it changes more
// than itself, so checks that compare sound leave it alone.
bool changesMoreThanItself(const Parameter& parameter);

// How far a value read back may be from the one set: half a step for a
// stepped parameter (the nearest step), float rounding for a continuous one.
double readBackTolerance(const Parameter& parameter);
bool readsBack(const Parameter& parameter, double set, double read);

// The values a sweep visits: every step of a stepped parameter (at most
// kMaxSweepSteps + 1, evenly spread, ends included), or an even grid and a
// few random values of a continuous one.
std::vector<double> sweepValues(const Parameter& parameter, Random& random);
constexpr std::int32_t kMaxSweepSteps = 128;

// "parameter 3 (id 7, "Knee")", for messages.
std::string describe(const Parameter& parameter);

} // namespace talven::validate
