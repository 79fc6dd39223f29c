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
