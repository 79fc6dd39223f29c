#include "ParameterList.h"

#include "Random.h"

#include "platform/TextConversion.h"
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

// A description's UTF-16 text, at most 128 units, as UTF-8.
std::string utf16Text(const std::uint16_t* text)
{
    std::size_t length = 0;
    while (length < 128 && text[length] != 0)
        ++length;
    return utf16ToUtf8Lenient(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

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
        parameter.title = utf16Text(info.title);
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
