// talven-host: the process an isolated attachment runs its plug-in in.
//   talven-host EXCHANGE-TOKEN CONTROL-TOKEN
// Started by the library with the block exchange and the control pipe
// inherited. Its first call names the plug-in and the channel's format; the
// plug-in is attached with this library's own hosting to a decoding stream
// of BASS's "no sound" device, fed block by block from the exchange. Every
// later call is the same call made here. It ends when the program's side
// detaches or goes away.
#include "BlockThreadPriority.h"
#include "EditorTeardown.h"
#include "HostLink.h"
#include "HostWait.h"

#include "bass.h"
#include "isolation/BlockExchange.h"
#include "isolation/QuietFaults.h"
#include "talven.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace talven::host {
namespace {

HostLink* theLink = nullptr;

// The block the exchange handed over, read by the stream's procedure.
struct BlockInput {
    std::vector<float> samples;
    std::size_t offset = 0; // floats read so far
    std::size_t count = 0;  // floats in this block
};

DWORD CALLBACK readBlock(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto& input = *static_cast<BlockInput*>(user);
    const std::size_t wanted = length / sizeof(float);
    const std::size_t given = std::min(wanted, input.count - input.offset);
    std::memcpy(buffer, input.samples.data() + input.offset, given * sizeof(float));
    input.offset += given;
    return static_cast<DWORD>(given * sizeof(float));
}

// Block thread: each block handed over goes through the stream (and so the
// plug-in's DSP) and back into the exchange, in place.
void runBlocks(BlockExchange& exchange, HSTREAM stream, BlockInput& input, std::uint32_t channels)
{
    raiseBlockThreadPriority();
    for (;;) {
        const std::int64_t frames = exchange.awaitRequest(std::chrono::seconds(1));
        if (frames < 0)
            return;
        if (frames == 0)
            continue;
        const std::size_t count = static_cast<std::size_t>(frames) * channels;
        std::memcpy(input.samples.data(), exchange.channel(0), count * sizeof(float));
        input.offset = 0;
        input.count = count;
        BASS_ChannelGetData(stream, exchange.channel(0), static_cast<DWORD>(count * sizeof(float)) | BASS_DATA_FLOAT);
        exchange.answer();
    }
}

int run(const std::string& exchangeToken, const std::string& controlToken)
{
    // The program's trace file is the program's: an isolated plug-in's
    // blocks write no lines to it.
    TALVEN_SetTrace(0);
    auto exchange = BlockExchange::open(exchangeToken);
    HostLink link;
    link.pipe = ControlPipe::open(controlToken);
    if (!exchange || !link.pipe)
        return 2;
    theLink = &link;

    MessageReader call;
    if (!call.receive(*link.pipe) || call.op() != ControlOp::attach)
        return 3;
    const std::uint32_t rate = call.u32();
    const std::uint32_t channels = call.u32();
    const std::string path = call.text();
    bool withClass = false;
    const std::string classId = call.text(&withClass);
    const std::int32_t showEditor = call.i32();
    const std::int32_t x = call.i32();
    const std::int32_t y = call.i32();
    bool titled = false;
    const std::string title = call.text(&titled);
    const bool withPosition = call.i32() != 0;
    std::uint32_t handle = 0;
    BlockInput input;
    HSTREAM stream = 0;
    if (call.ok() && channels > 0 && channels <= exchange->channels() && BASS_Init(0, rate, 0, nullptr, nullptr)) {
        input.samples.resize(std::size_t{exchange->maxFrames()} * channels);
        stream = BASS_StreamCreate(rate, channels, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, readBlock, &input);
        const TALVEN_POSITIONPROC position = withPosition ? positionReporter() : nullptr;
        const char* titleText = titled ? title.c_str() : nullptr;
        if (stream)
            handle = withClass ? TALVEN_ChannelSetDSPClass(stream, path.c_str(), classId.c_str(), 0,
                                                           static_cast<std::uint8_t>(showEditor), x, y, position,
                                                           titleText)
                               : TALVEN_ChannelSetDSP(stream, path.c_str(), 0, 0, static_cast<std::uint8_t>(showEditor),
                                                      x, y, position, titleText);
    }
    link.handle = handle;
    link.stream = stream;
    MessageWriter attached(call.sequence(), ControlOp::answer);
    attached.u32(handle);
    if (!link.send(attached) || handle == 0)
        return 0;

    std::thread blocks([&] { runBlocks(*exchange, stream, input, channels); });
    // Calls are read on a thread of their own and answered on this one,
    // which also serves the editor's window where the platform needs it.
    CallQueue queue;
    std::thread reader([&] {
        for (;;) {
            auto next = std::make_unique<MessageReader>();
            if (!next->receive(*link.pipe) || next->op() == ControlOp::detach) {
                queue.close();
                return;
            }
            queue.push(std::move(next));
        }
    });
    while (std::unique_ptr<MessageReader> next = queue.pop())
        answerCall(link, *next);

    TALVEN_ChannelRemoveDSP(stream, handle);
    awaitEditorTeardown();
    exchange->close();
    blocks.join();
    reader.join();
    BASS_StreamFree(stream);
    BASS_Free();
    return 0;
}

} // namespace

HostLink& hostLink()
{
    return *theLink;
}

} // namespace talven::host

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    talven::endQuietlyOnFault();
    return talven::host::run(argv[1], argv[2]);
}
