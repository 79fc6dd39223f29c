// libFuzzer target: recalls arbitrary files into the PresetProbe test
// plug-in through the store/recall operations, and checks each outcome
// against an independent reading of the file's acceptance rules: a refused
// file reaches no plug-in call at all, an accepted one hands the component
// exactly the bytes of its chunk that exist in the file.
#include "RecordedPlugin.h"

#include "instance/Attachment.h"
#include "instance/PluginInstance.h"
#include "instance/PresetCalls.h"
#include "registry/Registry.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The probe's class, as its header text.
const char kProbeClass[] = "7A1E00025E7A4C119D3B2F600000A001";
constexpr std::size_t kHeaderSize = 48;
constexpr std::int32_t kMaxEntries = 128;

std::int64_t readInt(const Bytes& data, std::size_t at, int size)
{
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | data[at + static_cast<std::size_t>(i)];
    if (size == 4)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return static_cast<std::int64_t>(value);
}

bool sameClass(const Bytes& data)
{
    for (std::size_t i = 0; i < 32; ++i) {
        const char c = static_cast<char>(data[8 + i]);
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex || std::toupper(static_cast<unsigned char>(c)) != kProbeClass[i])
            return false;
    }
    return true;
}

struct Entry {
    std::string id;
    std::int64_t offset;
    std::int64_t size;
};

// The first entry with this id among those the list yields; false when the
// file is refused or holds none.
bool findEntry(const Bytes& data, const char* id, Entry& found)
{
    if (data.size() < kHeaderSize || std::memcmp(data.data(), "VST3", 4) != 0 || !sameClass(data))
        return false;
    const std::int64_t list = readInt(data, 40, 8);
    // FileStream seeks with a 32-bit offset; a list past the end is reachable
    // but yields nothing.
    if (list <= 0 || list > INT32_MAX || static_cast<std::uint64_t>(list) + 8 > data.size())
        return false;
    const auto at = static_cast<std::size_t>(list);
    if (std::memcmp(data.data() + at, "List", 4) != 0)
        return false;
    std::int64_t count = std::min<std::int64_t>(readInt(data, at + 4, 4), kMaxEntries);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::size_t entry = at + 8 + static_cast<std::size_t>(i) * 20;
        if (entry + 20 > data.size())
            break;
        if (std::memcmp(data.data() + entry, id, 4) == 0) {
            found = {id, readInt(data, entry + 4, 8), readInt(data, entry + 12, 8)};
            return true;
        }
    }
    return false;
}

// The bytes of a chunk that lie inside the file, as hex.
std::string chunkHex(const Bytes& data, const Entry& entry)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    if (entry.offset < 0 || entry.size <= 0 || entry.offset >= static_cast<std::int64_t>(data.size()))
        return text;
    const auto begin = static_cast<std::size_t>(entry.offset);
    const std::size_t end = begin + static_cast<std::size_t>(
                                        std::min<std::int64_t>(entry.size, static_cast<std::int64_t>(data.size() - begin)));
    for (std::size_t i = begin; i < end; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

[[noreturn]] void fail(const std::string& what, const std::vector<std::string>& calls)
{
    std::fprintf(stderr, "preset fuzz: %s\n", what.c_str());
    for (const std::string& call : calls)
        std::fprintf(stderr, "  %s\n", call.c_str());
    std::abort();
}

struct Harness {
    Harness()
    {
        talven::registryLoad();
        talven::PluginInstance* instance = talven::createHandle();
        if (!instance)
            fail("no instance", {});
        handle = instance->handle;
        if (!talven::openPlugin(probe.path().c_str(), handle, 0, 0, 0, nullptr))
            fail("the probe plug-in did not open: " + probe.path(), {});
        path = "fuzz-" + std::to_string(getpid()) + ".vstpreset";
    }

    talven::test::RecordedPlugin probe{"PresetProbe"};
    std::uint32_t handle = 0;
    std::string path;
};

Harness& harness()
{
    static Harness instance;
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    harness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    Harness& h = harness();
    const Bytes data(bytes, bytes + size);
    {
        std::ofstream out(h.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    }
    h.probe.clear();
    const bool applied = talven::recallPresetFor(h.handle, h.path.c_str());
    const std::vector<std::string> calls = h.probe.callNames();

    Entry component;
    if (!findEntry(data, "Comp", component)) {
        if (applied || !calls.empty())
            fail("a refused file reached the plug-in", calls);
        return 0;
    }
    const std::string received = "Component::setState " + chunkHex(data, component);
    if (!applied || calls.size() < 3 || calls[0] != received ||
        calls[2] != "Controller::setComponentState " + chunkHex(data, component))
        fail("an accepted file was not applied as expected: " + received, calls);
    Entry controller;
    const bool withController = findEntry(data, "Cont", controller);
    const std::size_t expectedCalls = withController ? 4 : 3;
    if (calls.size() != expectedCalls ||
        (withController && calls[3] != "Controller::setState " + chunkHex(data, controller)))
        fail("the controller's chunk went wrong", calls);
    return 0;
}
