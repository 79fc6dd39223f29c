#include "ParameterList.h"

#include "Random.h"

#include "../apply/Utf16.h"
#include "talven.h"

#include <cmath>

namespace talven::validate {
namespace {

constexpr std::int32_t kReadOnly = 1 << 1;
constexpr std::int32_t kHidden = 1 << 4;
constexpr std::int32_t kProgramChange = 1 << 15;
constexpr std::int32_t kBypass = 1 << 16;

// A normalized value passes through a 32-bit float on its way in.
constexpr double kContinuousTolerance = 1e-5;
constexpr int kContinuousGrid = 16;
constexpr int kContinuousRandom = 4;

} // namespace

std::vector<Parameter> readParameters(std::uint32_t handle, int* undescribed)
{
    std::vector<Parameter> parameters;
    int missing = 0;
    const std::int32_t count = TALVEN_GetParamCount(handle);
    for (std::int32_t index = 0; index < count; ++index) {
        TALVEN_PARAMETERINFO info{};
        if (TALVEN_GetParamInfo(handle, index, &info) != 0) {
            ++missing;
            continue;
        }
        Parameter parameter;
        parameter.index = index;
        parameter.id = info.id;
        parameter.stepCount = info.stepCount;
        parameter.flags = info.flags;
        parameter.defaultValue = info.defaultNormalizedValue;
        parameter.title = apply::utf16ToUtf8(info.title, 128);
        parameters.push_back(parameter);
    }
    if (undescribed)
        *undescribed = missing;
    return parameters;
}

bool isWritable(const Parameter& parameter)
{
    return (parameter.flags & (kReadOnly | kHidden)) == 0;
}

bool changesMoreThanItself(const Parameter& parameter)
{
    return (parameter.flags & (kProgramChange | kBypass)) != 0;
}

double readBackTolerance(const Parameter& parameter)
{
    return parameter.stepCount > 0 ? 0.5 / parameter.stepCount + kContinuousTolerance : kContinuousTolerance;
}

bool readsBack(const Parameter& parameter, double set, double read)
{
    return std::isfinite(read) && std::fabs(read - set) <= readBackTolerance(parameter);
}

std::vector<double> sweepValues(const Parameter& parameter, Random& random)
{
    std::vector<double> values;
    if (parameter.stepCount > 0) {
        const std::int32_t points = parameter.stepCount < kMaxSweepSteps ? parameter.stepCount : kMaxSweepSteps;
        for (std::int32_t i = 0; i <= points; ++i) {
            // The step nearest the even point, so large step counts stay on steps.
            const double step = std::round(static_cast<double>(i) * parameter.stepCount / points);
            values.push_back(step / parameter.stepCount);
        }
        return values;
    }
    for (int i = 0; i <= kContinuousGrid; ++i)
        values.push_back(static_cast<double>(i) / kContinuousGrid);
    for (int i = 0; i < kContinuousRandom; ++i)
        values.push_back(random.unit());
    return values;
}

std::string describe(const Parameter& parameter)
{
    return "parameter " + std::to_string(parameter.index) + " (id " + std::to_string(parameter.id) + ", \"" +
           parameter.title + "\")";
}

} // namespace talven::validate
