#include "Apply.h"

#include "AudioFiles.h"
#include "BassHandles.h"
#include "Info.h"
#include "MidiSong.h"
#include "ParameterTable.h"
#include "PathText.h"
#include "PrintableText.h"

#include "bass.h"
#include "talven.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace talven::apply {

std::string bassError(const char* what)
{
    return std::string(what) + " (BASS error " + std::to_string(BASS_ErrorGetCode()) + ")";
}

namespace {

class Attachment {
public:
    explicit Attachment(std::uint32_t handle) : handle_(handle) {}
    ~Attachment()
    {
        if (handle_)
            TALVEN_ChannelRemoveDSP(0, handle_);
    }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    std::uint32_t get() const { return handle_; }

private:
    std::uint32_t handle_;
};

// The source of --list without INPUT: endless stereo silence.
DWORD CALLBACK silence(HSTREAM, void* buffer, DWORD length, void*)
{
    std::fill_n(static_cast<unsigned char*>(buffer), length, 0);
    return length;
}

// INPUT, then as many frames of silence as tailFrames says (set once the
// plug-in's latency is known): the plug-in is attached to this stream, so
// that it runs on past INPUT's end for its latency's sake.
// With a side-chain, as many of its frames are pulled first, so that the
// plug-in's block finds them waiting.
struct PaddedInput {
    HSTREAM file = 0;
    DWORD frameBytes = 0;
    std::uint64_t tailFrames = 0;
    bool fileEnded = false;
    HSTREAM sidechain = 0;
    DWORD sidechainFrameBytes = 0;
    std::vector<unsigned char> sidechainBlock;

    void pullSidechain(DWORD length)
    {
        if (!sidechain)
            return;
        const std::size_t bytes = static_cast<std::size_t>(length / frameBytes) * sidechainFrameBytes;
        if (sidechainBlock.size() < bytes)
            sidechainBlock.resize(bytes);
        BASS_ChannelGetData(sidechain, sidechainBlock.data(), static_cast<DWORD>(bytes));
    }

    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* input = static_cast<PaddedInput*>(user);
        input->pullSidechain(length);
        if (!input->fileEnded) {
            const DWORD got = BASS_ChannelGetData(input->file, buffer, length);
            if (got != static_cast<DWORD>(-1) && got > 0)
                return got;
            // The end, or a read error, which ends INPUT just the same.
            input->fileEnded = true;
        }
        const std::uint64_t frames = std::min<std::uint64_t>(length / input->frameBytes, input->tailFrames);
        input->tailFrames -= frames;
        const DWORD bytes = static_cast<DWORD>(frames) * input->frameBytes;
        std::fill_n(static_cast<unsigned char*>(buffer), bytes, 0);
        return input->tailFrames == 0 ? bytes | BASS_STREAMPROC_END : bytes;
    }
};

// The side-chain FILE, then silence for as long as it is pulled.
struct SidechainInput {
    HSTREAM file = 0;
    bool fileEnded = false;

    static DWORD CALLBACK proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* input = static_cast<SidechainInput*>(user);
        DWORD got = 0;
        if (!input->fileEnded) {
            got = BASS_ChannelGetData(input->file, buffer, length);
            if (got == static_cast<DWORD>(-1) || got == 0) {
                got = 0;
                input->fileEnded = true;
            }
        }
        std::fill_n(static_cast<unsigned char*>(buffer) + got, length - got, 0);
        return length;
    }
};

// Opens FILE for --sidechain and sets it as the plug-in's side-chain, pulled
// by the source in step.
bool openSidechain(const Options& options, HSTREAM source, std::uint32_t plugin, Stream& file, Stream& stream,
                   SidechainInput& input, PaddedInput& padded, std::string& error)
{
    const DWORD flags = BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT;
    file.reset(BASS_StreamCreateFile(FALSE, options.sidechain.c_str(), 0, 0, flags));
    BASS_CHANNELINFO info{};
    BASS_CHANNELINFO sourceInfo{};
    if (!file.get() || !BASS_ChannelGetInfo(file.get(), &info) || info.chans == 0 ||
        !BASS_ChannelGetInfo(source, &sourceInfo)) {
        error = bassError(("cannot open " + options.sidechain).c_str());
        return false;
    }
    if (info.freq != sourceInfo.freq) {
        error = options.sidechain + ": sample rate " + std::to_string(info.freq) + ", not INPUT's " +
                std::to_string(sourceInfo.freq);
        return false;
    }
    input.file = file.get();
    stream.reset(BASS_StreamCreate(info.freq, info.chans, flags, SidechainInput::proc, &input));
    if (!stream.get()) {
        error = bassError(("cannot open " + options.sidechain).c_str());
        return false;
    }
    if (!TALVEN_SetSidechain(plugin, stream.get(), 0)) {
        error = "cannot feed " + options.sidechain + ": the plug-in has no side-chain input";
        return false;
    }
    padded.sidechain = stream.get();
    padded.sidechainFrameBytes = static_cast<DWORD>(sizeof(float)) * info.chans;
    return true;
}

HSTREAM openSource(const Options& options, Stream& file, PaddedInput& padded, std::string& error)
{
    const DWORD flags = BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT;
    if (options.input.empty()) {
        const HSTREAM stream = BASS_StreamCreate(44100, 2, flags, silence, nullptr);
        if (!stream)
            error = bassError("cannot open a stream");
        return stream;
    }
    file.reset(BASS_StreamCreateFile(FALSE, options.input.c_str(), 0, 0, flags));
    BASS_CHANNELINFO info{};
    if (!file.get() || !BASS_ChannelGetInfo(file.get(), &info) || info.chans == 0) {
        error = bassError(("cannot open " + options.input).c_str());
        return 0;
    }
    padded.file = file.get();
    padded.frameBytes = static_cast<DWORD>(sizeof(float)) * info.chans;
    const HSTREAM stream = BASS_StreamCreate(info.freq, info.chans, flags, PaddedInput::proc, &padded);
    if (!stream)
        error = bassError(("cannot open " + options.input).c_str());
    return stream;
}

// The frames OUTPUT leaves out at its start and the plug-in runs on past
// INPUT's end: the latency it reports now, unless --keep-latency or
// --bypass (a bypassed plug-in passes the audio through as it came).
std::uint64_t latencyToCompensate(const Options& options, std::uint32_t handle)
{
    if (options.keepLatency || options.bypass)
        return 0;
    TALVEN_INFO info{};
    info.size = sizeof info;
    if (TALVEN_GetInfo(handle, &info) != 1 || info.latencySamples <= 0)
        return 0;
    return static_cast<std::uint64_t>(info.latencySamples);
}

std::uint64_t framesOf(HSTREAM stream, DWORD frameBytes)
{
    const QWORD bytes = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    return bytes == static_cast<QWORD>(-1) || frameBytes == 0 ? 0 : bytes / frameBytes;
}

bool recallPreset(const Options& options, std::uint32_t handle, std::string& error)
{
    if (options.preset.empty() || TALVEN_RecallPreset(options.preset.c_str(), handle) == 1)
        return true;
    error = "cannot recall preset " + options.preset + ": missing, damaged or stored for another plug-in";
    return false;
}

bool giveState(const Options& options, std::uint32_t handle, std::string& error)
{
    if (options.stateIn.empty())
        return true;
    const std::optional<std::filesystem::path> path = pathFromArgument(options.stateIn);
    std::ifstream file;
    if (path)
        file.open(*path, std::ios::binary);
    const std::vector<char> state((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad()) {
        error = "cannot read state " + options.stateIn;
        return false;
    }
    if (state.empty() || state.size() > 0x7FFFFFFFu ||
        TALVEN_SetState(handle, state.data(), static_cast<std::int32_t>(state.size())) != 1) {
        error = "cannot give state " + options.stateIn + ": damaged or made for another plug-in";
        return false;
    }
    return true;
}

bool selectProgram(const Options& options, std::uint32_t handle, std::string& error)
{
    if (options.program < 0 || TALVEN_SetProgram(handle, options.program) == 1)
        return true;
    error = "bad --program " + std::to_string(options.program) + ": the plug-in has no such program to select" +
            " (see --programs)";
    return false;
}

bool writeState(const Options& options, std::uint32_t handle, std::string& error)
{
    const std::int32_t size = TALVEN_GetState(handle, nullptr, 0);
    std::vector<char> state(static_cast<std::size_t>(std::max(size, 0)));
    if (size <= 0 || TALVEN_GetState(handle, state.data(), size) != size) {
        error = "the plug-in gave no state for " + options.stateOut;
        return false;
    }
    const std::optional<std::filesystem::path> path = pathFromArgument(options.stateOut);
    std::ofstream file;
    if (path)
        file.open(*path, std::ios::binary | std::ios::trunc);
    file.write(state.data(), static_cast<std::streamsize>(state.size()));
    file.close();
    if (!file) {
        error = "cannot write state " + options.stateOut;
        return false;
    }
    return true;
}

bool setParameters(const Options& options, std::uint32_t handle, std::string& error)
{
    for (const Setting& setting : options.settings) {
        if (!findParameter(handle, setting.id)) {
            error = "bad --set '" + setting.text + "': the plug-in has no parameter with id " +
                    std::to_string(setting.id) + " (see --list)";
            return false;
        }
        const std::int32_t result = TALVEN_SetParam(handle, setting.id, setting.value);
        if (result != 0) {
            error = "the plug-in refused --set '" + setting.text + "' (VST 3 result " + std::to_string(result) + ")";
            return false;
        }
    }
    return true;
}

// --save-preset and --state-out, from a second instance of the plug-in on a
// silent stream of its own, given the states, the program and the --set
// values: a --set value reaches the processor, whose state the preset holds,
// only with a block, and the main run may give it none (--bypass, --list
// without INPUT).
bool savePreset(const Options& options, std::string& error)
{
    if (options.savePreset.empty() && options.stateOut.empty())
        return true;
    Stream stream(BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT, silence, nullptr));
    Attachment plugin(stream.get() ? TALVEN_ChannelSetDSP(stream.get(), options.plugin.c_str(), 0, 0, 0, 0, 0,
                                                          nullptr, "talven-apply")
                                   : 0);
    if (!plugin.get()) {
        error = "cannot load " + options.plugin + " to store its preset";
        return false;
    }
    if (!giveState(options, plugin.get(), error) || !recallPreset(options, plugin.get(), error) ||
        !selectProgram(options, plugin.get(), error) || !setParameters(options, plugin.get(), error))
        return false;
    std::vector<float> block(2 * 64);
    BASS_ChannelGetData(stream.get(), block.data(), static_cast<DWORD>(block.size() * sizeof(float)));
    if (!options.savePreset.empty() && TALVEN_StorePreset(options.savePreset.c_str(), 0, plugin.get()) != 1) {
        error = "cannot write preset " + options.savePreset;
        return false;
    }
    return options.stateOut.empty() || writeState(options, plugin.get(), error);
}

bool pluginExists(const std::string& path)
{
    const std::optional<std::filesystem::path> file = pathFromArgument(path);
    std::error_code error;
    return file && std::filesystem::exists(*file, error);
}

// --programs: one line per program, its index and name separated by a tab.
void printPrograms(std::uint32_t handle, std::FILE* out)
{
    const std::int32_t count = TALVEN_GetProgramCount(handle);
    for (std::int32_t index = 0; index < count; ++index) {
        char name[256] = {};
        TALVEN_GetProgramName(handle, index, name, sizeof name);
        std::fprintf(out, "%d\t%s\n", static_cast<int>(index), printable(name).c_str());
    }
}

// --list, --info and --programs.
bool describe(const Options& options, std::uint32_t handle, std::FILE* out, std::string& error)
{
    if (options.info && !printInfo(handle, options.plugin, out, error))
        return false;
    if (options.info && options.list)
        std::fputc('\n', out);
    if (options.list)
        printParameterTable(handle, out);
    if (options.programs) {
        if (options.info || options.list)
            std::fputc('\n', out);
        printPrograms(handle, out);
    }
    std::fflush(out);
    return true;
}

} // namespace

// The whole states first, then the program, so that --set values win over
// them.
bool applySettings(const Options& options, std::uint32_t handle, std::string& error)
{
    if (!giveState(options, handle, error) || !recallPreset(options, handle, error) ||
        !selectProgram(options, handle, error) || !setParameters(options, handle, error))
        return false;
    if (options.bypass && TALVEN_SetBypass(handle, 1) != 1) {
        error = "the plug-in could not be bypassed";
        return false;
    }
    return true;
}

bool runApply(const Options& options, std::FILE* out, std::string& error)
{
    if (!pluginExists(options.plugin)) {
        error = "cannot load " + options.plugin + ": no such file or folder";
        return false;
    }
    if (!options.midi.empty() && options.input.empty())
        return renderInstrument(options, error);
    AudioFormat format;
    if (!options.input.empty() && !probeInput(options.input, format, error))
        return false;
    MidiSong song;
    if (!options.midi.empty() && !readMidiSong(options.midi, static_cast<std::uint32_t>(format.rate), song, error))
        return false;

    BassSession bass;
    if (!bass.ok()) {
        error = bassError("cannot start BASS");
        return false;
    }
    // Declared before the stream that reads them, so that they outlive it.
    Stream file;
    PaddedInput padded;
    Stream stream(openSource(options, file, padded, error));
    if (!stream.get())
        return false;
    Attachment plugin(TALVEN_ChannelSetDSP(stream.get(), options.plugin.c_str(), 0, 0, 0, 0, 0, nullptr,
                                           "talven-apply"));
    if (!plugin.get()) {
        error = "cannot load " + options.plugin + ": not a VST 3 audio effect Talven can attach";
        return false;
    }
    if (!applySettings(options, plugin.get(), error))
        return false;
    if (!describe(options, plugin.get(), out, error) || !savePreset(options, error))
        return false;
    if (options.input.empty())
        return true;
    // Declared after the plug-in: they go before it, the side-chain first.
    Stream sidechainFile;
    SidechainInput sidechainInput;
    Stream sidechain;
    if (!options.sidechain.empty() &&
        !openSidechain(options, stream.get(), plugin.get(), sidechainFile, sidechain, sidechainInput, padded, error))
        return false;
    const std::uint64_t latency = latencyToCompensate(options, plugin.get());
    padded.tailFrames = latency;
    // The song's events go to the effect a little ahead of the frames they
    // fall in, as its queue takes them.
    MidiFeeder feeder(song, plugin.get());
    const auto feed = [&](std::uint64_t pulled, std::string& failure) {
        if (feeder.feedUntil(pulled + 2 * kFramesPerPull))
            return true;
        failure = "cannot play " + options.midi + " on " + options.plugin + ": it has no event input";
        return false;
    };
    return renderToFile(stream.get(), format, options.output, latency, framesOf(file.get(), padded.frameBytes) + latency,
                        error, options.midi.empty() ? std::function<bool(std::uint64_t, std::string&)>() : feed);
}

} // namespace talven::apply
