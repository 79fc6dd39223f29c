// A stand-in for the plug-in's process: opens the block exchange named on its
// command line and doubles every sample, until told to fail after some
// blocks in one of the ways a plug-in's process ends.
//   talven_block_echo TOKEN double|crash|exit|hang [BLOCKS]
#include "isolation/BlockExchange.h"
#include "isolation/QuietFaults.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    talven::endQuietlyOnFault();
    auto exchange = talven::BlockExchange::open(argv[1]);
    if (!exchange)
        return 4;
    const std::string failure = argv[2];
    const long blocksBeforeFailure = argc > 3 ? std::atol(argv[3]) : 0;
    long blocks = 0;
    for (;;) {
        const std::int64_t frames = exchange->awaitRequest(std::chrono::seconds(1));
        if (frames < 0)
            return 0;
        if (frames == 0)
            continue;
        if (failure != "double" && blocks++ >= blocksBeforeFailure) {
            if (failure == "crash") {
                volatile int* nowhere = nullptr;
                *nowhere = 1;
            }
            if (failure == "exit")
                std::exit(3);
            for (;;)
                std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        for (std::uint32_t c = 0; c < exchange->channels(); ++c) {
            float* samples = exchange->channel(c);
            for (std::int64_t i = 0; i < frames; ++i)
                samples[i] *= 2.0f;
        }
        exchange->answer();
    }
}
