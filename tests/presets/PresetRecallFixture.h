#pragma once
// The PresetProbe plug-in attached to a decode channel of the BASS-compatible
// engine, through the shared library, with its own controls: the fixture of
// the store, recall and state-in-memory tests.
#include "IsolatedRun.h"
#include "PresetProbeExports.h"
#include "PresetTestSupport.h"
#include "RecordedPlugin.h"

#include "bass.h"
#include "talven.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace talven::test {

using Names = std::vector<std::string>;

inline DWORD CALLBACK silence(HSTREAM, void* buffer, DWORD length, void*)
{
    std::fill_n(static_cast<char*>(buffer), length, char(0));
    return length;
}

// The probe's own controls, through a load of its library beside the host's.
class ProbeControls {
public:
    ProbeControls()
    {
        std::string error;
        library_ = loadLibrary(test::testPluginPath("PresetProbe") + "/Contents/" TALVEN_TEST_PLUGIN_ARCH
#ifdef _WIN32
                                   "/PresetProbe.vst3",
#else
                                   "/PresetProbe.so",
#endif
                               error);
    }
    ~ProbeControls()
    {
        results(Steinberg::kResultOk, Steinberg::kResultOk, Steinberg::kResultOk);
        freeLibrary(library_);
    }
    ProbeControls(const ProbeControls&) = delete;
    ProbeControls& operator=(const ProbeControls&) = delete;

    void states(const Bytes& component, const Bytes& controller) const
    {
        proc<TalvenProbeSetStatesProc>(TALVEN_PROBE_SET_STATES)(component.data(), static_cast<int>(component.size()),
                                                               controller.data(), static_cast<int>(controller.size()));
    }
    Bytes state(int which) const
    {
        auto get = proc<TalvenProbeGetStateProc>(TALVEN_PROBE_GET_STATE);
        Bytes bytes(static_cast<size_t>(get(which, nullptr, 0)));
        get(which, bytes.data(), static_cast<int>(bytes.size()));
        return bytes;
    }
    void results(int componentGet, int controllerGet, int componentSet) const
    {
        proc<TalvenProbeSetResultsProc>(TALVEN_PROBE_SET_RESULTS)(componentGet, controllerGet, componentSet);
    }

private:
    template <typename Proc>
    Proc proc(const char* name) const
    {
        return reinterpret_cast<Proc>(librarySymbol(library_, name));
    }
    LibraryHandle library_ = nullptr;
};

struct PresetRecallFixture : ::testing::Test {
    static void SetUpTestSuite() { BASS_Init(0, 44100, 0, nullptr, nullptr); }
    static void TearDownTestSuite() { BASS_Free(); }

    void SetUp() override
    {
        ASSERT_TRUE(probe.loaded());
        stream = BASS_StreamCreate(44100, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, silence, nullptr);
        ASSERT_NE(stream, 0u);
        handle = attachForTest(stream, probe.path().c_str()); // isolated in the isolated run
        ASSERT_NE(handle, 0u);
        controls.states(componentState, controllerState);
        probe.clear();
    }
    void TearDown() override
    {
        if (handle)
            TALVEN_ChannelRemoveDSP(stream, handle);
        BASS_StreamFree(stream);
    }

    // The calls about state, in order; the probe's other calls (blocks,
    // parameters) do not matter here.
    Names stateCalls() const
    {
        Names names;
        for (const std::string& name : probe.callNames()) {
            if (name.find("State") != std::string::npos || name.find("fileName") != std::string::npos)
                names.push_back(name);
        }
        return names;
    }

    test::RecordedPlugin probe{"PresetProbe"};
    ProbeControls controls;
    test::ScratchFolder folder;
    DWORD stream = 0;
    uint32_t handle = 0;
    const Bytes componentState = test::pattern(5, 0xA0);
    const Bytes controllerState = test::pattern(3, 0xC0);
};

// The probe's class: the recording plug-ins' processor.
inline const std::string kProbeClassText = "7A1E00025E7A4C119D3B2F600000A001";

} // namespace talven::test
