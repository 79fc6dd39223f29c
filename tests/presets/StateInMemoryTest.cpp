// The plug-in's state in memory (TALVEN_GetState, TALVEN_SetState) and the
// preset files other hosts write, through the shared library on the
// PresetProbe plug-in.
#include "PresetRecallFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace talven {
namespace {

using test::Bytes;
using test::Chunk;
using test::Names;
using test::kProbeClassText;
using StateInMemoryTest = test::PresetRecallFixture;

Bytes getState(uint32_t handle)
{
    const int32_t size = TALVEN_GetState(handle, nullptr, 0);
    if (size <= 0)
        return {};
    Bytes state(static_cast<size_t>(size));
    if (TALVEN_GetState(handle, state.data(), size) != size)
        return {};
    return state;
}

int32_t setState(uint32_t handle, const Bytes& state)
{
    return TALVEN_SetState(handle, state.data(), static_cast<int32_t>(state.size()));
}

TEST_F(StateInMemoryTest, TheStateIsTheStoresFileAskedForByItsSizeFirstAndWritesNoFile)
{
    const std::string path = folder.path("Same.vstpreset");
    ASSERT_EQ(TALVEN_StorePreset(path.c_str(), 0, handle), 1);
    const Bytes file = test::readFileBytes(path);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    const auto size = static_cast<int32_t>(file.size());

    probe.clear();
    EXPECT_EQ(TALVEN_GetState(handle, nullptr, 0), size);
    EXPECT_EQ(TALVEN_GetState(handle, nullptr, 100000), size);
    Bytes small(file.size() - 1, 0xEE);
    EXPECT_EQ(TALVEN_GetState(handle, small.data(), size - 1), size);
    EXPECT_EQ(small, Bytes(file.size() - 1, 0xEE));
    EXPECT_EQ(TALVEN_GetState(handle, small.data(), -5), size);
    Bytes room(file.size() + 10, 0xEE);
    EXPECT_EQ(TALVEN_GetState(handle, room.data(), static_cast<int32_t>(room.size())), size);
    EXPECT_EQ(test::hex(Bytes(room.begin(), room.begin() + size)), test::hex(file));
    EXPECT_EQ(room.back(), 0xEE);
    // Each call stores and loads back as a store to a file does, without a
    // file name to tell.
    const Names once = {"Component::getState", "Controller::getState", "Component::setState a0a1a2a3a4",
                        "Component::fileName 1", "Controller::setComponentState a0a1a2a3a4",
                        "Controller::setState c0c1c2"};
    const Names calls = stateCalls();
    ASSERT_EQ(calls.size(), 5 * once.size());
    EXPECT_EQ(Names(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(once.size())), once);
    EXPECT_TRUE(folder.names().empty());
}

// Other hosts write the component's state alone or with the controller's,
// add meta-information, and order the chunks and their list as they like.
// A recall from a file and a state set from memory read them all alike, and
// the meta-information comes back unchanged with the next store.
TEST_F(StateInMemoryTest, PresetsInEveryStandardLayoutAreReadAndKeepTheirMetaInformation)
{
    const Bytes comp = test::pattern(6, 0x31);
    const Bytes cont = test::pattern(4, 0x51);
    const Bytes info = {'<', 'M', 'e', 't', 'a', 'I', 'n', 'f', 'o', '/', '>'};
    struct Case {
        const char* what;
        std::vector<Chunk> chunks;
        std::vector<size_t> listOrder;
        bool hasController;
        bool hasInfo;
    };
    const Case cases[] = {
        {"component only", {{"Comp", comp}}, {0}, false, false},
        {"component and controller", {{"Comp", comp}, {"Cont", cont}}, {0, 1}, true, false},
        {"with meta-information last", {{"Comp", comp}, {"Cont", cont}, {"Info", info}}, {0, 1, 2}, true, true},
        {"component only with meta-information", {{"Comp", comp}, {"Info", info}}, {0, 1}, false, true},
        {"meta-information first", {{"Info", info}, {"Comp", comp}, {"Cont", cont}}, {0, 1, 2}, true, true},
        {"controller data before the component's", {{"Cont", cont}, {"Comp", comp}}, {0, 1}, true, false},
        {"list in another order than the data", {{"Comp", comp}, {"Info", info}, {"Cont", cont}}, {2, 1, 0}, true, true},
        {"empty meta-information", {{"Comp", comp}, {"Info", {}}}, {0, 1}, false, true},
    };
    for (const bool fromMemory : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (fromMemory ? ", from memory" : ", from a file"));
            controls.states(test::pattern(2, 0x01), test::pattern(2, 0x02));
            const Bytes preset = test::presetFileListed(kProbeClassText, c.chunks, c.listOrder);
            if (fromMemory) {
                ASSERT_EQ(setState(handle, preset), 1);
            } else {
                const std::string path = folder.path("Other Host.vstpreset");
                test::writeFileBytes(path, preset);
                ASSERT_EQ(TALVEN_RecallPreset(path.c_str(), handle), 1);
            }
            EXPECT_EQ(test::hex(controls.state(0)), test::hex(comp));
            EXPECT_EQ(test::hex(controls.state(1)), test::hex(c.hasController ? cont : test::pattern(2, 0x02)));

            const Bytes state = getState(handle);
            ASSERT_FALSE(state.empty());
            EXPECT_EQ(test::chunkOf(state, "Comp"), comp);
            const std::optional<Bytes> kept = test::chunkOf(state, "Info");
            EXPECT_EQ(kept.has_value(), c.hasInfo);
            for (const Chunk& chunk : c.chunks) {
                if (chunk.id == "Info" && kept) {
                    EXPECT_EQ(test::hex(*kept), test::hex(chunk.data));
                }
            }
            const std::string stored = folder.path("Stored.vstpreset");
            ASSERT_EQ(TALVEN_StorePreset(stored.c_str(), 0, handle), 1);
            EXPECT_EQ(test::hex(test::readFileBytes(stored)), test::hex(state));
        }
    }
}

TEST_F(StateInMemoryTest, DamagedOrForeignStatesChangeNothing)
{
    const Bytes good = getState(handle);
    ASSERT_FALSE(good.empty());
    Bytes otherClass = good;
    otherClass[47] = otherClass[47] == '1' ? '2' : '1';
    Bytes listPastTheEnd = good;
    listPastTheEnd[44] = 0x7F; // the list offset's fifth byte: 2^38 and more
    // The list ends the state: "List", the count, two entries of 20 bytes.
    Bytes cutShort(good.begin(), good.end() - 30);
    struct Case {
        const char* what;
        Bytes data;
    };
    const Case cases[] = {
        {"another class", otherClass},
        {"list offset past the end", listPastTheEnd},
        {"list cut inside its first entry", cutShort},
        {"header only", Bytes(good.begin(), good.begin() + 48)},
        {"not a preset", Bytes(64, 0x00)},
        {"no component chunk", test::presetFile(kProbeClassText, {{"Cont", test::pattern(3)}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        probe.clear();
        EXPECT_EQ(setState(handle, c.data), 0);
        EXPECT_TRUE(stateCalls().empty());
    }
    probe.clear();
    EXPECT_EQ(TALVEN_SetState(handle, nullptr, 10), 0);
    EXPECT_EQ(TALVEN_SetState(handle, good.data(), 0), 0);
    EXPECT_EQ(TALVEN_SetState(handle, good.data(), -1), 0);
    EXPECT_EQ(TALVEN_SetState(handle + 1000, good.data(), static_cast<int32_t>(good.size())), 0);
    EXPECT_EQ(TALVEN_GetState(handle + 1000, nullptr, 0), -1);
    EXPECT_EQ(TALVEN_GetState(0, nullptr, 0), -1);
    EXPECT_TRUE(stateCalls().empty());
    EXPECT_EQ(getState(handle), good);

    // A component that refuses its state fails the call and keeps the
    // controller as it was.
    controls.results(Steinberg::kResultOk, Steinberg::kResultOk, Steinberg::kResultFalse);
    probe.clear();
    EXPECT_EQ(setState(handle, good), 0);
    EXPECT_EQ(stateCalls(), (Names{"Component::setState a0a1a2a3a4", "Component::fileName 1"}));
    // And one that cannot give its state gives none.
    controls.results(Steinberg::kResultFalse, Steinberg::kResultOk, Steinberg::kResultOk);
    EXPECT_EQ(TALVEN_GetState(handle, nullptr, 0), -1);
    EXPECT_TRUE(folder.names().empty());
}

} // namespace
} // namespace talven
