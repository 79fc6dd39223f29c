// A suite run twice: as it is, and once more with every attach isolated
// (TALVEN_TEST_ISOLATED=1 in the environment; cmake's
// talven_add_isolated_run), so that the same tests show that a plug-in in a
// process of its own behaves as in the program's.
#pragma once

#include "talven.h"

#include <cstdint>

namespace talven::test {

bool isolatedRun();

// TALVEN_ChannelSetDSP's attach; isolated in the isolated run.
std::uint32_t attachForTest(std::uint32_t channel, const char* path, std::uint8_t showEditor = 0,
                            std::int32_t x = 0, std::int32_t y = 0, TALVEN_POSITIONPROC callback = nullptr,
                            const char* title = nullptr, const char* classId = nullptr);

} // namespace talven::test
