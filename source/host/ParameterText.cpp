#include "host/ParameterText.h"

#include "platform/TextConversion.h"

#include <cmath>
#include <string>

using namespace Steinberg;

namespace talven {
namespace {

// Room of a String128, its terminating zero included.
constexpr std::size_t kTextUnits = 128;

} // namespace

bool getParamText(const HostedPlugin& plugin, Vst::ParamID id, double value, char* text, std::size_t capacity)
{
    if (!text || capacity == 0 || std::isnan(value) || value > 1.0)
        return false;
    const Vst::ControllerReference controller = plugin.controller();
    if (!controller)
        return false;
    const auto turn = controller.turn();
    if (value < 0.0)
        value = controller->getParamNormalized(id);
    Vst::String128 string{};
    if (controller->getParamStringByValue(id, value, string) != kResultOk)
        return false;
    // The plug-in's text ends at its zero or at the end of the String128.
    std::size_t length = 0;
    while (length < kTextUnits && string[length] != 0)
        ++length;
    const std::u16string utf16(reinterpret_cast<const char16_t*>(string), length);
    copyUtf8Bounded(utf16ToUtf8Lenient(utf16), text, capacity);
    return true;
}

bool getParamValueFromText(const HostedPlugin& plugin, Vst::ParamID id, const char* text, double& value)
{
    if (!text)
        return false;
    const std::optional<std::u16string> utf16 = utf8ToUtf16(text);
    if (!utf16 || utf16->size() >= kTextUnits)
        return false;
    const Vst::ControllerReference controller = plugin.controller();
    if (!controller)
        return false;
    const auto turn = controller.turn();
    Vst::String128 string{};
    for (std::size_t i = 0; i < utf16->size(); ++i)
        string[i] = static_cast<Vst::TChar>((*utf16)[i]);
    Vst::ParamValue read = 0;
    if (controller->getParamValueByString(id, string, read) != kResultOk || std::isnan(read))
        return false;
    value = read;
    return true;
}

} // namespace talven
