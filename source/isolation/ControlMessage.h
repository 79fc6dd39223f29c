#pragma once

#include "isolation/ControlPipe.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace talven {

// What travels on the control pipe: a call of the program's side, its
// answer, or a report of the plug-in's process. Every message is its length
// (32 bits), its sequence number (answers carry the call's; reports 0), its
// kind, and its fields in the order the kind defines.
enum class ControlOp : std::uint32_t {
    answer = 1,
    // Program's side -> plug-in's process.
    attach,
    detach,
    getBypass,
    setBypass,
    getParamCount,
    getParamInfo,
    getParam,
    setParam,
    getParamText,
    getParamValueFromText,
    storePreset,
    recallPreset,
    getInfo,
    setTransport,
    getState,
    setState,
    getProgramCount,
    getProgramName,
    getProgram,
    setProgram,
    setParamCallback,
    showEditor,
    embedEditor,
    getEditorSize,
    setEditorSize,
    setEditorCallback,
    // Plug-in's process -> program's side, unasked.
    paramReport,
    positionReport,
    editorReport,
};

// Longest message either side accepts: a plug-in's state is the largest thing
// that travels (the program's side refuses a larger one up front).
constexpr std::uint32_t kMaxControlMessage = 64u << 20;

class MessageWriter {
public:
    MessageWriter(std::uint32_t sequence, ControlOp op) : sequence_(sequence)
    {
        bytes_.resize(4);
        u32(sequence);
        u32(static_cast<std::uint32_t>(op));
    }
    MessageWriter& u32(std::uint32_t value) { return raw(&value, sizeof value); }
    MessageWriter& i32(std::int32_t value) { return raw(&value, sizeof value); }
    MessageWriter& u64(std::uint64_t value) { return raw(&value, sizeof value); }
    MessageWriter& f64(double value) { return raw(&value, sizeof value); }
    MessageWriter& blob(const void* data, std::uint32_t size)
    {
        u32(size);
        return raw(data, size);
    }
    MessageWriter& text(const char* value) // null travels as a distinct absence
    {
        i32(value ? 1 : 0);
        const std::string copy = value ? value : "";
        return blob(copy.data(), static_cast<std::uint32_t>(copy.size()));
    }
    std::uint32_t sequence() const { return sequence_; }
    // Sends the message; false once the other side has gone.
    bool send(ControlPipe& pipe)
    {
        const auto length = static_cast<std::uint32_t>(bytes_.size() - 4);
        std::memcpy(bytes_.data(), &length, 4);
        return pipe.writeAll(bytes_.data(), bytes_.size());
    }

private:
    MessageWriter& raw(const void* data, std::size_t size)
    {
        const auto* from = static_cast<const unsigned char*>(data);
        bytes_.insert(bytes_.end(), from, from + size);
        return *this;
    }
    std::uint32_t sequence_;
    std::vector<unsigned char> bytes_;
};

// Reads a message's fields; a field that runs past the end reads as zero or
// empty and leaves ok() false, so a damaged message is refused whole.
class MessageReader {
public:
    // Reads the next message off the pipe: false when the other side has
    // gone or sent a message too long to be one.
    bool receive(ControlPipe& pipe)
    {
        std::uint32_t length = 0;
        if (!pipe.readAll(&length, sizeof length) || length < 8 || length > kMaxControlMessage)
            return false;
        bytes_.resize(length);
        if (!pipe.readAll(bytes_.data(), length))
            return false;
        at_ = 0;
        ok_ = true;
        sequence_ = u32();
        op_ = static_cast<ControlOp>(u32());
        return true;
    }
    std::uint32_t sequence() const { return sequence_; }
    ControlOp op() const { return op_; }
    bool ok() const { return ok_; }

    std::uint32_t u32() { return fixed<std::uint32_t>(); }
    std::int32_t i32() { return fixed<std::int32_t>(); }
    std::uint64_t u64() { return fixed<std::uint64_t>(); }
    double f64() { return fixed<double>(); }
    std::vector<unsigned char> blob()
    {
        const std::uint32_t size = u32();
        if (!ok_ || size > bytes_.size() - at_) {
            ok_ = false;
            return {};
        }
        std::vector<unsigned char> out(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                                       bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
        at_ += size;
        return out;
    }
    // Copies a blob of exactly size bytes into out; false otherwise.
    bool blobInto(void* out, std::size_t size)
    {
        const std::vector<unsigned char> data = blob();
        if (!ok_ || data.size() != size)
            return false;
        std::memcpy(out, data.data(), size);
        return true;
    }
    // A text field; present is false for one sent as null.
    std::string text(bool* present = nullptr)
    {
        const bool there = i32() != 0;
        if (present)
            *present = there;
        const std::vector<unsigned char> data = blob();
        return std::string(data.begin(), data.end());
    }

private:
    template <typename T>
    T fixed()
    {
        T value{};
        if (!ok_ || bytes_.size() - at_ < sizeof value) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }

    std::vector<unsigned char> bytes_;
    std::size_t at_ = 0;
    bool ok_ = false;
    std::uint32_t sequence_ = 0;
    ControlOp op_ = ControlOp::answer;
};

} // namespace talven
