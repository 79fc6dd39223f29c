// A plug-in for the preset tests: its component and controller give and take
// opaque states of any size and record each call with the bytes it received,
// and the component records the file name its state stream reports.
#include "EntryPoints.h"
#include "PresetProbeExports.h"
#include "RecordingClasses.h"
#include "SharedFile.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivstattributes.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace talven::testplugin;
using Bytes = std::vector<unsigned char>;

// The tests' settings, in a file that talven-host maps too when
// TALVEN_PROBE_SHARED is set (SharedFile.h): fixed arrays, no allocations.
struct ProbeSettings {
    static constexpr int32_t kStateCapacity = 4096; // the tests' states are tens of bytes

    SharedSpinLock lock;
    int32_t sizes[2] = {3, 2}; // component, controller
    unsigned char states[2][kStateCapacity] = {{1, 2, 3}, {4, 5}};
    tresult componentGetState = kResultOk;
    tresult controllerGetState = kResultOk;
    tresult componentSetState = kResultOk;

    // Lock held.
    Bytes state(int which) const { return Bytes(states[which], states[which] + sizes[which]); }
    void setState(int which, const unsigned char* bytes, int size)
    {
        sizes[which] = std::clamp(size, 0, kStateCapacity);
        if (sizes[which] > 0)
            std::memcpy(states[which], bytes, static_cast<size_t>(sizes[which]));
    }
};

ProbeSettings& settings()
{
    static ProbeSettings own;
    static const SharedFile file(TALVEN_TEST_PLUGIN_NAME ".settings", sizeof(SharedRecord<ProbeSettings>));
    static ProbeSettings* const shared = file.data() ? SharedRecord<ProbeSettings>::adopt(file.data()) : nullptr;
    return shared ? *shared : own;
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

// Every byte the stream has left.
Bytes readAll(IBStream* stream)
{
    Bytes bytes;
    unsigned char block[256];
    int32 got = 0;
    while (stream && stream->read(block, sizeof block, &got) == kResultOk && got > 0)
        bytes.insert(bytes.end(), block, block + got);
    if (got > 0) // the short read that ended the loop
        bytes.insert(bytes.end(), block, block + got);
    return bytes;
}

tresult writeState(IBStream* stream, const Bytes& state, tresult result)
{
    if (!stream)
        return kInvalidArgument;
    const bool fails = result != kResultOk && result != kNotImplemented;
    const size_t size = fails ? state.size() / 2 : state.size();
    int32 written = 0;
    if (size > 0)
        stream->write(const_cast<unsigned char*>(state.data()), static_cast<int32>(size), &written);
    return result;
}

std::string utf8Of(const TChar* text)
{
    std::string out;
    for (; *text; ++text) {
        const char16_t unit = static_cast<char16_t>(*text);
        if (unit < 0x80)
            out += static_cast<char>(unit);
        else
            out += "\\u" + std::to_string(unit);
    }
    return out;
}

// "<result> <name>" of the stream's getFileName, or "none" without attributes.
std::string fileNameOf(IBStream* stream)
{
    FUnknownPtr<IStreamAttributes> attributes(stream);
    if (!attributes)
        return "none";
    String128 name;
    std::fill(std::begin(name), std::end(name), TChar('#'));
    const tresult result = attributes->getFileName(name);
    if (result != kResultOk)
        return std::to_string(result);
    // A name must end within the buffer.
    if (std::find(std::begin(name), std::end(name), TChar(0)) == std::end(name))
        return "unterminated";
    return "0 " + utf8Of(name);
}

class ProbeProcessor : public RecordingProcessor {
public:
    ProbeProcessor() : RecordingProcessor(ProcessorOptions{recorderControllerUid(), false}) {}

    tresult PLUGIN_API getState(IBStream* state) override
    {
        recordCall("Component::getState");
        std::lock_guard<SharedSpinLock> guard(settings().lock);
        return writeState(state, settings().state(0), settings().componentGetState);
    }

    tresult PLUGIN_API setState(IBStream* state) override
    {
        const Bytes bytes = readAll(state);
        recordCall("Component::setState " + hex(bytes));
        recordCall("Component::fileName " + fileNameOf(state));
        std::lock_guard<SharedSpinLock> guard(settings().lock);
        if (settings().componentSetState == kResultOk)
            settings().setState(0, bytes.data(), static_cast<int>(bytes.size()));
        return settings().componentSetState;
    }
};

class ProbeController : public RecordingController {
public:
    ProbeController() : RecordingController(true) {}

    tresult PLUGIN_API getState(IBStream* state) override
    {
        recordCall("Controller::getState");
        std::lock_guard<SharedSpinLock> guard(settings().lock);
        return writeState(state, settings().state(1), settings().controllerGetState);
    }

    tresult PLUGIN_API setComponentState(IBStream* state) override
    {
        recordCall("Controller::setComponentState " + hex(readAll(state)));
        return kResultOk;
    }

    tresult PLUGIN_API setState(IBStream* state) override
    {
        const Bytes bytes = readAll(state);
        recordCall("Controller::setState " + hex(bytes));
        std::lock_guard<SharedSpinLock> guard(settings().lock);
        settings().setState(1, bytes.data(), static_cast<int>(bytes.size()));
        return kResultOk;
    }
};

const TestFactoryDescription& description()
{
    static const TestClass classes[] = {
        {recorderProcessorUid(), kVstAudioEffectClass, "Talven Preset Probe", 0, "Fx",
         [] { return static_cast<FUnknown*>(static_cast<IAudioProcessor*>(new ProbeProcessor)); }},
        {recorderControllerUid(), kVstComponentControllerClass, "Talven Preset Probe Controller", 0, "",
         [] { return static_cast<FUnknown*>(static_cast<IEditController*>(new ProbeController)); }},
    };
    static const TestFactoryDescription table{"Talven Tests", "https://talven.invalid", "tests@talven.invalid",
                                              classes, 2, 3};
    return table;
}

} // namespace

TALVEN_TEST_PLUGIN_FACTORY(description())
TALVEN_TEST_PLUGIN_INIT_EXIT(true)

extern "C" SMTG_EXPORT_SYMBOL void TalvenProbeSetStates(const unsigned char* component, int componentSize,
                                                         const unsigned char* controller, int controllerSize)
{
    std::lock_guard<SharedSpinLock> guard(settings().lock);
    settings().setState(0, component, componentSize);
    settings().setState(1, controller, controllerSize);
}

extern "C" SMTG_EXPORT_SYMBOL int TalvenProbeGetState(int which, unsigned char* buffer, int capacity)
{
    std::lock_guard<SharedSpinLock> guard(settings().lock);
    const Bytes state = settings().state(which == 0 ? 0 : 1);
    if (buffer && capacity > 0 && !state.empty())
        std::memcpy(buffer, state.data(), std::min(state.size(), static_cast<size_t>(capacity)));
    return static_cast<int>(state.size());
}

extern "C" SMTG_EXPORT_SYMBOL void TalvenProbeSetResults(int componentGetState, int controllerGetState,
                                                          int componentSetState)
{
    std::lock_guard<SharedSpinLock> guard(settings().lock);
    settings().componentGetState = componentGetState;
    settings().controllerGetState = controllerGetState;
    settings().componentSetState = componentSetState;
}
