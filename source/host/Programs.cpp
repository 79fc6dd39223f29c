#include "host/Programs.h"

#include "platform/TextConversion.h"

#include "pluginterfaces/vst/ivstunits.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

using namespace Steinberg;

namespace talven {
namespace {

// Room of a String128, its terminating zero included.
constexpr std::size_t kTextUnits = 128;

// What a plug-in offers for its root unit's programs, read afresh for each
// call: a plug-in may change its lists at any time (kParamTitlesChanged).
struct RootPrograms {
    Vst::ControllerReference controller;
    IPtr<Vst::IUnitInfo> units; // null without IUnitInfo
    Vst::ProgramListID listId = Vst::kNoProgramListId;
    int32 listCount = 0; // programs in the list; 0 without one
    bool hasParameter = false;
    Vst::ParamID parameter = 0;
    int32 stepCount = 0;

    int32 count() const
    {
        if (listCount > 0)
            return listCount;
        return hasParameter && stepCount > 0 ? stepCount + 1 : 0;
    }
    // The parameter's steps between the first and the last program.
    int32 steps() const { return stepCount > 0 ? stepCount : std::max(count() - 1, 0); }
    Vst::ParamValue valueOf(int32 index) const
    {
        return steps() > 0 ? static_cast<Vst::ParamValue>(index) / steps() : 0.0;
    }
};

void findList(RootPrograms& programs)
{
    Vst::IUnitInfo& units = *programs.units;
    const int32 unitCount = units.getUnitCount();
    for (int32 i = 0; i < unitCount; ++i) {
        Vst::UnitInfo info{};
        if (units.getUnitInfo(i, info) == kResultOk && info.id == Vst::kRootUnitId) {
            programs.listId = info.programListId;
            break;
        }
    }
    if (programs.listId == Vst::kNoProgramListId)
        return;
    const int32 listCount = units.getProgramListCount();
    for (int32 i = 0; i < listCount; ++i) {
        Vst::ProgramListInfo info{};
        if (units.getProgramListInfo(i, info) == kResultOk && info.id == programs.listId) {
            programs.listCount = std::max<int32>(info.programCount, 0);
            return;
        }
    }
}

// The root unit's program-change parameter; without IUnitInfo there are no
// units to tell apart, and the first such parameter is the root unit's.
void findParameter(RootPrograms& programs)
{
    Vst::IEditController& controller = *programs.controller.get();
    const int32 count = controller.getParameterCount();
    for (int32 i = 0; i < count; ++i) {
        Vst::ParameterInfo info{};
        if (controller.getParameterInfo(i, info) != kResultOk || (info.flags & Vst::ParameterInfo::kIsProgramChange) == 0)
            continue;
        if (info.unitId != Vst::kRootUnitId && programs.units)
            continue;
        programs.hasParameter = true;
        programs.parameter = info.id;
        programs.stepCount = std::max<int32>(info.stepCount, 0);
        return;
    }
}

RootPrograms rootPrograms(const HostedPlugin& plugin)
{
    RootPrograms programs;
    programs.controller = plugin.controller();
    if (!programs.controller)
        return programs;
    Vst::IUnitInfo* units = nullptr;
    if (programs.controller->queryInterface(Vst::IUnitInfo::iid, reinterpret_cast<void**>(&units)) == kResultOk
        && units)
        programs.units = owned(units);
    if (programs.units)
        findList(programs);
    findParameter(programs);
    return programs;
}

std::string utf8Of(const Vst::String128 text)
{
    std::size_t length = 0;
    while (length < kTextUnits && text[length] != 0)
        ++length;
    return utf16ToUtf8Lenient(std::u16string(reinterpret_cast<const char16_t*>(text), length));
}

// The values of the parameters a program may set: every one the caller could
// set itself (not read-only outputs, not the program-change parameter).
std::vector<std::pair<Vst::ParamID, Vst::ParamValue>> settableValues(Vst::IEditController& controller)
{
    std::vector<std::pair<Vst::ParamID, Vst::ParamValue>> values;
    const int32 count = controller.getParameterCount();
    for (int32 i = 0; i < count; ++i) {
        Vst::ParameterInfo info{};
        if (controller.getParameterInfo(i, info) != kResultOk)
            continue;
        if ((info.flags & (Vst::ParameterInfo::kIsReadOnly | Vst::ParameterInfo::kIsProgramChange)) != 0)
            continue;
        values.emplace_back(info.id, controller.getParamNormalized(info.id));
    }
    return values;
}

} // namespace

std::int32_t getProgramCount(const HostedPlugin& plugin)
{
    return rootPrograms(plugin).count();
}

bool getProgramName(const HostedPlugin& plugin, std::int32_t index, char* text, std::size_t capacity)
{
    if (!text || capacity == 0)
        return false;
    const RootPrograms programs = rootPrograms(plugin);
    if (index < 0 || index >= programs.count())
        return false;
    Vst::String128 name{};
    tresult result = kResultFalse;
    if (programs.listCount > 0)
        result = programs.units->getProgramName(programs.listId, index, name);
    else
        result = programs.controller->getParamStringByValue(programs.parameter, programs.valueOf(index), name);
    if (result != kResultOk)
        return false;
    copyUtf8Bounded(utf8Of(name), text, capacity);
    return true;
}

std::int32_t getProgram(const HostedPlugin& plugin)
{
    const RootPrograms programs = rootPrograms(plugin);
    if (!programs.hasParameter || programs.count() == 0)
        return -1;
    const double value = programs.controller->getParamNormalized(programs.parameter);
    if (std::isnan(value))
        return -1;
    const long step = std::lround(std::clamp(value, 0.0, 1.0) * programs.steps());
    return static_cast<std::int32_t>(std::min<long>(step, programs.count() - 1));
}

bool setProgram(HostedPlugin& plugin, std::int32_t index)
{
    const RootPrograms programs = rootPrograms(plugin);
    // A list longer than the parameter's steps has programs it cannot reach.
    if (!programs.hasParameter || index < 0 || index >= programs.count() || index > programs.steps())
        return false;
    Vst::IEditController& controller = *programs.controller.get();
    const auto before = settableValues(controller);
    {
        // The controller's echo of the program itself is not passed back.
        const ParameterReports::SetParamScope scope(*plugin.reports);
        if (controller.setParamNormalized(programs.parameter, programs.valueOf(index)) != kResultOk)
            return false;
    }
    plugin.paramTransfer->addChange(programs.parameter, programs.valueOf(index), 0);
    // What the program changed on the controller's side reaches the processor
    // with the same block (one that takes the program itself gets the values
    // it set anyway) and the program's callback.
    for (const auto& [id, value] : before) {
        const Vst::ParamValue now = controller.getParamNormalized(id);
        if (now == value)
            continue;
        plugin.paramTransfer->addChange(id, now, 0);
        plugin.reports->report(id, now);
    }
    return true;
}

} // namespace talven
