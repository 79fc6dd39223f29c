// The plug-in's process answers the program's calls by making the same call
// of the library here, on its own attachment: the results are the library's
// own, and what reaches the program is what an attachment in its own process
// would give.
#include "HostLink.h"

#include "talven.h"

#include <algorithm>
#include <string>
#include <vector>

namespace talven::host {
namespace {

// Longest text a plug-in gives (a parameter's display text, a program's
// name), with its zero: 128 UTF-16 units as UTF-8.
constexpr std::int32_t kTextCapacity = 385;

void TALVEN_CALL reportEdit(std::uint32_t, std::uint32_t id, double value, void*)
{
    MessageWriter report(0, ControlOp::paramReport);
    report.u32(id).f64(value);
    hostLink().send(report);
}

void TALVEN_CALL reportResize(std::uint32_t, std::int32_t width, std::int32_t height, void*)
{
    MessageWriter report(0, ControlOp::editorReport);
    report.i32(width).i32(height);
    hostLink().send(report);
}

void TALVEN_CALL reportPosition(std::int32_t left, std::int32_t top, std::int32_t closing)
{
    MessageWriter report(0, ControlOp::positionReport);
    report.i32(left).i32(top).i32(closing);
    hostLink().send(report);
}

} // namespace

void answerCall(HostLink& link, MessageReader& call)
{
    const std::uint32_t handle = link.handle.load();
    MessageWriter answer(call.sequence(), ControlOp::answer);
    switch (call.op()) {
    case ControlOp::getBypass:
        answer.i32(TALVEN_GetBypass(handle));
        break;
    case ControlOp::setBypass:
        answer.i32(TALVEN_SetBypass(handle, call.i32()));
        break;
    case ControlOp::getParamCount:
        answer.i32(TALVEN_GetParamCount(handle));
        break;
    case ControlOp::getParamInfo: {
        TALVEN_PARAMETERINFO info{};
        const std::int32_t result = TALVEN_GetParamInfo(handle, call.i32(), &info);
        answer.i32(result).blob(&info, sizeof info);
        break;
    }
    case ControlOp::getParam:
        answer.f64(TALVEN_GetParam(handle, call.u32()));
        break;
    case ControlOp::setParam: {
        const std::uint32_t id = call.u32();
        const double value = call.f64();
        answer.i32(TALVEN_SetParam(handle, id, static_cast<float>(value)));
        break;
    }
    case ControlOp::getParamText: {
        const std::uint32_t id = call.u32();
        const double value = call.f64();
        char text[kTextCapacity] = {};
        const std::int32_t result = TALVEN_GetParamText(handle, id, value, text, kTextCapacity);
        answer.i32(result).text(text);
        break;
    }
    case ControlOp::getParamValueFromText: {
        const std::uint32_t id = call.u32();
        bool present = false;
        const std::string text = call.text(&present);
        double value = 0.0;
        const std::int32_t result =
            TALVEN_GetParamValueFromText(handle, id, present ? text.c_str() : nullptr, &value);
        answer.i32(result).f64(value);
        break;
    }
    case ControlOp::storePreset: {
        const std::string path = call.text();
        answer.i32(TALVEN_StorePreset(path.c_str(), 0, handle));
        break;
    }
    case ControlOp::recallPreset: {
        const std::string path = call.text();
        answer.i32(TALVEN_RecallPreset(path.c_str(), handle));
        break;
    }
    case ControlOp::getInfo: {
        TALVEN_INFO info{};
        info.size = sizeof info;
        const std::int32_t result = TALVEN_GetInfo(handle, &info);
        answer.i32(result).blob(&info, sizeof info);
        break;
    }
    case ControlOp::setTransport: {
        const double tempo = call.f64();
        const std::int32_t numerator = call.i32();
        const std::int32_t denominator = call.i32();
        answer.i32(TALVEN_SetTransport(handle, tempo, numerator, denominator));
        break;
    }
    case ControlOp::getState: {
        // Made afresh on each call, as the caller's own calls would be: into
        // the room the last state needed; asked again only when it grew.
        constexpr std::size_t kFirstRoom = 64 * 1024;
        std::vector<unsigned char>& state = link.state;
        if (state.size() < kFirstRoom)
            state.resize(kFirstRoom);
        std::int32_t written = TALVEN_GetState(handle, state.data(), static_cast<std::int32_t>(state.size()));
        for (int attempt = 0; attempt < 4 && written > 0 && static_cast<std::size_t>(written) > state.size();
             ++attempt) {
            state.resize(static_cast<std::size_t>(written));
            written = TALVEN_GetState(handle, state.data(), written);
        }
        if (written > 0 && static_cast<std::size_t>(written) > state.size())
            written = -1;
        answer.i32(written).blob(state.data(), written > 0 ? static_cast<std::uint32_t>(written) : 0);
        break;
    }
    case ControlOp::setState: {
        const std::vector<unsigned char> state = call.blob();
        answer.i32(state.empty() ? 0
                                 : TALVEN_SetState(handle, state.data(), static_cast<std::int32_t>(state.size())));
        break;
    }
    case ControlOp::getProgramCount:
        answer.i32(TALVEN_GetProgramCount(handle));
        break;
    case ControlOp::getProgramName: {
        char name[kTextCapacity] = {};
        const std::int32_t result = TALVEN_GetProgramName(handle, call.i32(), name, kTextCapacity);
        answer.i32(result).text(name);
        break;
    }
    case ControlOp::getProgram:
        answer.i32(TALVEN_GetProgram(handle));
        break;
    case ControlOp::setProgram:
        answer.i32(TALVEN_SetProgram(handle, call.i32()));
        break;
    case ControlOp::setParamCallback:
        answer.i32(TALVEN_SetParamCallback(handle, call.i32() != 0 ? reportEdit : nullptr, nullptr));
        break;
    case ControlOp::showEditor: {
        const std::int32_t visible = call.i32();
        const std::int32_t x = call.i32();
        const std::int32_t y = call.i32();
        const bool withPosition = call.i32() != 0;
        bool titled = false;
        const std::string title = call.text(&titled);
        answer.i32(TALVEN_ShowEditor(handle, static_cast<std::uint8_t>(visible), x, y,
                                     withPosition ? reportPosition : nullptr, titled ? title.c_str() : nullptr));
        break;
    }
    case ControlOp::embedEditor: {
        const auto window = static_cast<std::uintptr_t>(call.u64());
        answer.i32(call.ok() ? TALVEN_EmbedEditor(handle, reinterpret_cast<void*>(window)) : 0);
        break;
    }
    case ControlOp::getEditorSize:
    case ControlOp::setEditorSize: {
        std::int32_t width = 0, height = 0;
        if (call.op() == ControlOp::setEditorSize) {
            width = call.i32();
            height = call.i32();
        }
        const std::int32_t result = call.op() == ControlOp::getEditorSize
            ? TALVEN_GetEditorSize(handle, &width, &height)
            : TALVEN_SetEditorSize(handle, &width, &height);
        answer.i32(result).i32(width).i32(height);
        break;
    }
    case ControlOp::setEditorCallback:
        answer.i32(TALVEN_SetEditorCallback(handle, call.i32() != 0 ? reportResize : nullptr, nullptr));
        break;
    default:
        break;
    }
    link.send(answer);
}

TALVEN_POSITIONPROC positionReporter()
{
    return reportPosition;
}

} // namespace talven::host
