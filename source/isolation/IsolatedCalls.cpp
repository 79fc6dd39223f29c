#include "isolation/IsolatedCalls.h"

#include "platform/TextConversion.h"

#include <cstring>
#include <string>

namespace talven::isolated {
namespace {

// A call that does not answer in this time is taken for a hang: the process
// is ended and the attachment reports itself crashed.
constexpr std::chrono::seconds kCallTimeout{10};

// The call with its fields; the answer, or null.
template <typename Fields>
std::unique_ptr<MessageReader> call(IsolatedLink& link, ControlOp op, Fields&& fields)
{
    MessageWriter message(link.nextSequence(), op);
    fields(message);
    return link.call(message, kCallTimeout);
}

std::unique_ptr<MessageReader> call(IsolatedLink& link, ControlOp op)
{
    return call(link, op, [](MessageWriter&) {});
}

// The answer's one 32-bit result, or failure.
std::int32_t resultOf(std::unique_ptr<MessageReader> answer, std::int32_t failure)
{
    if (!answer)
        return failure;
    const std::int32_t result = answer->i32();
    return answer->ok() ? result : failure;
}

} // namespace

std::int32_t getBypass(IsolatedLink& link)
{
    return resultOf(call(link, ControlOp::getBypass), 0);
}

std::int32_t setBypass(IsolatedLink& link, std::int32_t request)
{
    return resultOf(call(link, ControlOp::setBypass, [&](MessageWriter& m) { m.i32(request); }), 0);
}

std::int32_t getParamCount(IsolatedLink& link)
{
    return resultOf(call(link, ControlOp::getParamCount), 0);
}

std::int32_t getParamInfo(IsolatedLink& link, std::int32_t index, TALVEN_PARAMETERINFO& info)
{
    auto answer = call(link, ControlOp::getParamInfo, [&](MessageWriter& m) { m.i32(index); });
    if (!answer)
        return 1; // kResultFalse
    const std::int32_t result = answer->i32();
    TALVEN_PARAMETERINFO filled{};
    if (!answer->blobInto(&filled, sizeof filled))
        return 1;
    if (result == 0) // kResultOk
        std::memcpy(&info, &filled, sizeof filled);
    return result;
}

double getParam(IsolatedLink& link, std::uint32_t id)
{
    auto answer = call(link, ControlOp::getParam, [&](MessageWriter& m) { m.u32(id); });
    if (!answer)
        return 0.0;
    const double value = answer->f64();
    return answer->ok() ? value : 0.0;
}

std::int32_t setParam(IsolatedLink& link, std::uint32_t id, float value)
{
    return resultOf(call(link, ControlOp::setParam, [&](MessageWriter& m) { m.u32(id).f64(value); }),
                    1); // kResultFalse
}

std::int32_t getParamText(IsolatedLink& link, std::uint32_t id, double value, char* text, std::int32_t size)
{
    auto answer = call(link, ControlOp::getParamText, [&](MessageWriter& m) { m.u32(id).f64(value); });
    if (!answer)
        return 0;
    const std::int32_t result = answer->i32();
    const std::string shown = answer->text();
    if (!answer->ok() || result != 1)
        return 0;
    copyUtf8Bounded(shown, text, static_cast<std::size_t>(size));
    return 1;
}

std::int32_t getParamValueFromText(IsolatedLink& link, std::uint32_t id, const char* text, double& value)
{
    auto answer = call(link, ControlOp::getParamValueFromText, [&](MessageWriter& m) { m.u32(id).text(text); });
    if (!answer)
        return 0;
    const std::int32_t result = answer->i32();
    const double read = answer->f64();
    if (!answer->ok() || result != 1)
        return 0;
    value = read;
    return 1;
}

std::int32_t storePreset(IsolatedLink& link, const char* path)
{
    return resultOf(call(link, ControlOp::storePreset, [&](MessageWriter& m) { m.text(path); }), 0);
}

std::int32_t recallPreset(IsolatedLink& link, const char* path)
{
    return resultOf(call(link, ControlOp::recallPreset, [&](MessageWriter& m) { m.text(path); }), 0);
}

std::int32_t getInfo(IsolatedLink& link, TALVEN_INFO& info)
{
    auto answer = call(link, ControlOp::getInfo);
    if (!answer)
        return 0;
    const std::int32_t result = answer->i32();
    TALVEN_INFO filled{};
    if (!answer->blobInto(&filled, sizeof filled) || result != 1)
        return 0;
    const std::uint32_t callerSize = info.size;
    std::memcpy(&info, &filled, sizeof filled);
    info.size = callerSize;
    return 1;
}

std::int32_t setTransport(IsolatedLink& link, double tempo, std::int32_t numerator, std::int32_t denominator)
{
    return resultOf(call(link, ControlOp::setTransport,
                         [&](MessageWriter& m) { m.f64(tempo).i32(numerator).i32(denominator); }),
                    0);
}

std::int32_t getState(IsolatedLink& link, void* data, std::int32_t capacity)
{
    auto answer = call(link, ControlOp::getState);
    if (!answer)
        return -1;
    const std::int32_t size = answer->i32();
    const std::vector<unsigned char> state = answer->blob();
    if (!answer->ok() || size < 0 || static_cast<std::size_t>(size) != state.size())
        return -1;
    if (data && capacity >= size)
        std::memcpy(data, state.data(), state.size());
    return size;
}

std::int32_t setState(IsolatedLink& link, const void* data, std::int32_t size)
{
    if (!data || size < 1 || static_cast<std::uint32_t>(size) > kMaxControlMessage - 64)
        return 0;
    return resultOf(call(link, ControlOp::setState,
                         [&](MessageWriter& m) { m.blob(data, static_cast<std::uint32_t>(size)); }),
                    0);
}

std::int32_t getProgramCount(IsolatedLink& link)
{
    return resultOf(call(link, ControlOp::getProgramCount), 0);
}

std::int32_t getProgramName(IsolatedLink& link, std::int32_t index, char* name, std::int32_t size)
{
    auto answer = call(link, ControlOp::getProgramName, [&](MessageWriter& m) { m.i32(index); });
    if (!answer)
        return 0;
    const std::int32_t result = answer->i32();
    const std::string text = answer->text();
    if (!answer->ok() || result != 1)
        return 0;
    copyUtf8Bounded(text, name, static_cast<std::size_t>(size));
    return 1;
}

std::int32_t getProgram(IsolatedLink& link)
{
    return resultOf(call(link, ControlOp::getProgram), -1);
}

std::int32_t setProgram(IsolatedLink& link, std::int32_t index)
{
    return resultOf(call(link, ControlOp::setProgram, [&](MessageWriter& m) { m.i32(index); }), 0);
}

std::int32_t setParamCallback(IsolatedLink& link, TALVEN_PARAMPROC callback, void* user)
{
    // Set here before the process reports anything, and after it stopped.
    if (callback)
        link.setParamCallback(callback, user);
    const std::int32_t result =
        resultOf(call(link, ControlOp::setParamCallback, [&](MessageWriter& m) { m.i32(callback ? 1 : 0); }), 0);
    if (!callback && result == 1)
        link.setParamCallback(nullptr, nullptr);
    return result;
}

std::int32_t showEditor(IsolatedLink& link, std::uint8_t visible, std::int32_t x, std::int32_t y,
                        TALVEN_POSITIONPROC positionCallback, const char* title)
{
    MessageWriter message(link.nextSequence(), ControlOp::showEditor);
    message.i32(visible).i32(x).i32(y).i32(positionCallback ? 1 : 0).text(title);
    if (positionCallback)
        link.setPositionCallbackAfter(message.sequence(), positionCallback);
    return resultOf(link.call(message, kCallTimeout), 0);
}

std::int32_t embedEditor(IsolatedLink& link, void* parent)
{
    const auto window = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(parent));
    return resultOf(call(link, ControlOp::embedEditor, [&](MessageWriter& m) { m.u64(window); }), 0);
}

// The size answer of both size calls: the result, then width and height.
std::int32_t sizeAnswer(std::unique_ptr<MessageReader> answer, std::int32_t& width, std::int32_t& height)
{
    if (!answer)
        return 0;
    const std::int32_t result = answer->i32();
    const std::int32_t w = answer->i32();
    const std::int32_t h = answer->i32();
    if (!answer->ok() || result != 1)
        return 0;
    width = w;
    height = h;
    return 1;
}

std::int32_t getEditorSize(IsolatedLink& link, std::int32_t& width, std::int32_t& height)
{
    return sizeAnswer(call(link, ControlOp::getEditorSize), width, height);
}

std::int32_t setEditorSize(IsolatedLink& link, std::int32_t& width, std::int32_t& height)
{
    return sizeAnswer(call(link, ControlOp::setEditorSize, [&](MessageWriter& m) { m.i32(width).i32(height); }),
                      width, height);
}

std::int32_t setEditorCallback(IsolatedLink& link, TALVEN_EDITORPROC callback, void* user)
{
    if (callback)
        link.setEditorCallback(callback, user);
    const std::int32_t result =
        resultOf(call(link, ControlOp::setEditorCallback, [&](MessageWriter& m) { m.i32(callback ? 1 : 0); }), 0);
    if (!callback && result == 1)
        link.setEditorCallback(nullptr, nullptr);
    return result;
}

} // namespace talven::isolated
