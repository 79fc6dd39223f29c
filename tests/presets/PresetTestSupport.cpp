#include "PresetTestSupport.h"

#include "pluginterfaces/base/ibstream.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace talven::test {

using namespace Steinberg;

Bytes readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

Bytes pattern(std::size_t count, unsigned char first)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(first + i);
    return bytes;
}

// ------------------------------------------------------------ ScratchFolder

ScratchFolder::ScratchFolder()
{
    static int counter = 0;
    root_ = "scratch-" + std::to_string(++counter);
    std::filesystem::remove_all(root_);
    std::filesystem::create_directory(root_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    for (const auto& entry : std::filesystem::directory_iterator(root_, ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchFolder::path(const std::string& name) const
{
    return root_ + "/" + name;
}

std::vector<std::string> ScratchFolder::names() const
{
    std::vector<std::string> result;
    for (const auto& entry : std::filesystem::directory_iterator(root_))
        result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
}

// --------------------------------------------------------------- ByteWriter

ByteWriter& ByteWriter::text(const std::string& ascii)
{
    data_.insert(data_.end(), ascii.begin(), ascii.end());
    return *this;
}

ByteWriter& ByteWriter::int32(std::int32_t value)
{
    for (int i = 0; i < 4; ++i)
        data_.push_back(static_cast<unsigned char>(static_cast<std::uint32_t>(value) >> (8 * i)));
    return *this;
}

ByteWriter& ByteWriter::int64(std::int64_t value)
{
    for (int i = 0; i < 8; ++i)
        data_.push_back(static_cast<unsigned char>(static_cast<std::uint64_t>(value) >> (8 * i)));
    return *this;
}

ByteWriter& ByteWriter::bytes(const Bytes& data)
{
    data_.insert(data_.end(), data.begin(), data.end());
    return *this;
}

std::string classIdText(const FUID& cid)
{
    char8 text[33] = {};
    cid.toString(text);
    return text;
}

Bytes presetFile(const std::string& classText, const std::vector<Chunk>& chunks, std::int32_t version)
{
    ByteWriter file;
    std::int64_t listOffset = 48;
    for (const Chunk& chunk : chunks)
        listOffset += static_cast<std::int64_t>(chunk.data.size());
    file.text("VST3").int32(version).text(classText).int64(listOffset);
    for (const Chunk& chunk : chunks)
        file.bytes(chunk.data);
    file.text("List").int32(static_cast<std::int32_t>(chunks.size()));
    std::int64_t offset = 48;
    for (const Chunk& chunk : chunks) {
        const auto size = static_cast<std::int64_t>(chunk.data.size());
        file.text(chunk.id).int64(offset).int64(size);
        offset += size;
    }
    return file.data();
}

Bytes presetFileListed(const std::string& classText, const std::vector<Chunk>& chunks,
                       const std::vector<std::size_t>& listOrder)
{
    std::vector<std::int64_t> offsets;
    std::int64_t at = 48;
    for (const Chunk& chunk : chunks) {
        offsets.push_back(at);
        at += static_cast<std::int64_t>(chunk.data.size());
    }
    ByteWriter file;
    file.text("VST3").int32(1).text(classText).int64(at);
    for (const Chunk& chunk : chunks)
        file.bytes(chunk.data);
    file.text("List").int32(static_cast<std::int32_t>(listOrder.size()));
    for (std::size_t index : listOrder)
        file.text(chunks[index].id).int64(offsets[index]).int64(static_cast<std::int64_t>(chunks[index].data.size()));
    return file.data();
}

namespace {

std::int64_t readInt(const Bytes& file, std::size_t at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= static_cast<std::uint64_t>(file.at(at + i)) << (8 * i);
    return size == 4 ? static_cast<std::int32_t>(value) : static_cast<std::int64_t>(value);
}

} // namespace

std::optional<Bytes> chunkOf(const Bytes& file, const std::string& id)
{
    if (file.size() < 48)
        return std::nullopt;
    const auto list = static_cast<std::size_t>(readInt(file, 40, 8));
    if (list + 8 > file.size() || std::string(file.begin() + list, file.begin() + list + 4) != "List")
        return std::nullopt;
    const std::int64_t count = readInt(file, list + 4, 4);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::size_t entry = list + 8 + static_cast<std::size_t>(i) * 20;
        if (entry + 20 > file.size())
            break;
        if (std::string(file.begin() + entry, file.begin() + entry + 4) != id)
            continue;
        const auto offset = static_cast<std::size_t>(readInt(file, entry + 4, 8));
        const auto size = static_cast<std::size_t>(readInt(file, entry + 12, 8));
        if (offset + size > file.size())
            return std::nullopt;
        return Bytes(file.begin() + offset, file.begin() + offset + size);
    }
    return std::nullopt;
}

// -------------------------------------------------------------------- fakes

namespace {

tresult writeState(IBStream* stream, const Bytes& state, tresult result)
{
    if (!stream)
        return kInvalidArgument;
    // A failing getState gives up half way, as a real one would.
    const bool fails = result != kResultOk && result != kNotImplemented;
    const auto size = static_cast<int32>(fails ? state.size() / 2 : state.size());
    if (size > 0)
        stream->write(const_cast<unsigned char*>(state.data()), size, nullptr);
    return result;
}

} // namespace

Bytes readRest(IBStream* stream)
{
    Bytes bytes;
    unsigned char block[7];
    int32 got = 0;
    tresult result = kResultOk;
    do {
        got = 0;
        result = stream->read(block, sizeof block, &got);
        bytes.insert(bytes.end(), block, block + std::max(got, 0));
    } while (result == kResultOk && got > 0);
    return bytes;
}

tresult PLUGIN_API FakeComponent::getState(IBStream* stream)
{
    calls_.push_back("Component::getState");
    return writeState(stream, state, getStateResult);
}

tresult PLUGIN_API FakeComponent::setState(IBStream* stream)
{
    const Bytes bytes = readRest(stream);
    calls_.push_back("Component::setState " + hex(bytes));
    if (setStateResult == kResultOk)
        state = bytes;
    return setStateResult;
}

tresult PLUGIN_API FakeController::getState(IBStream* stream)
{
    calls_.push_back("Controller::getState");
    return writeState(stream, state, getStateResult);
}

tresult PLUGIN_API FakeController::setState(IBStream* stream)
{
    const Bytes bytes = readRest(stream);
    calls_.push_back("Controller::setState " + hex(bytes));
    state = bytes;
    return kResultOk;
}

tresult PLUGIN_API FakeController::setComponentState(IBStream* stream)
{
    calls_.push_back("Controller::setComponentState " + hex(readRest(stream)));
    return kResultOk;
}

} // namespace talven::test
