// Editor: where an editor window shows (Windows, and a plug-in that has a
// view), open and close it 100 times while audio runs. Whether a window
// showed is seen through the position callback, which hears every close.
// A plug-in that offers a view (TALVEN_GetInfo's hasEditor) whose view then
// stays out of the window fails: the library shows no window for it and
// reports hasEditor 0 from then on. An instrument's editor is shown the same
// way, its stream playing a chord.
#include "Check.h"

#include "../GuiLibraries.h"
#include "../MessagePump.h"
#include "../Player.h"
#include "../Random.h"

#include "talven.h"

#include <atomic>
#include <chrono>
#include <string>

namespace talven::validate {
namespace {

constexpr int kRounds = 100;
using std::chrono::milliseconds;

std::atomic<int> closings{0};

// The editor window's thread: this check's.
void TALVEN_CALL onPosition(std::int32_t, std::int32_t, std::int32_t closing)
{
    if (closing)
        ++closings;
}

enum class Round { Refused, Unseen, Shown };

// TALVEN_GetInfo's hasEditor; -1 when it cannot tell.
int offersEditor(std::uint32_t handle)
{
    TALVEN_INFO info{};
    info.size = sizeof info;
    return TALVEN_GetInfo(handle, &info) == 1 ? info.hasEditor : -1;
}

// Why the first round showed no window: a problem when the plug-in offered a
// view that stayed out of the window, else a skip.
void explainUnseen(int offeredBefore, int offeredAfter, Outcome& outcome)
{
    if (offeredBefore == 1 && offeredAfter == 0) {
        outcome.summary("editor asked for once: no window showed");
        outcome.problem("the plug-in offers an editor view, but the view did not go into the editor window (it "
                        "refused the window's platform type or its attached failed), so no editor showed");
    } else if (offeredBefore == 0) {
        outcome.skip("no editor window showed: the plug-in has no editor");
    } else {
        outcome.skip("no editor window showed (the platform has no editor window here; hasEditor read " +
                     std::to_string(offeredBefore) + " before and " + std::to_string(offeredAfter) + " after)");
    }
}

// Opens and closes the editor once. A window that showed told the position
// callback when it closed (hiding and destroying may both tell it).
Round openAndClose(std::uint32_t handle, milliseconds shown)
{
    const int before = closings;
    if (TALVEN_ShowEditor(handle, 1, 0, 0, onPosition, "talven-validate") != 1)
        return Round::Refused;
    pumpMessages(shown);
    const bool hidden = TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr) == 1;
    pumpMessages(milliseconds(5));
    if (!hidden)
        return Round::Refused;
    return closings > before ? Round::Shown : Round::Unseen;
}

} // namespace

void runEditorCheck(const CheckContext& context, Outcome& outcome)
{
    keepGuiLibrariesLoaded(context.plugin);
    Random random = Random::derived(context.seed, "editor");
    Player player(random.next(), context.plugin, context.instrument);
    if (!player.ok()) {
        outcome.problem(context.instrument ? "cannot make a playing stream of the instrument"
                                           : "cannot attach on a playing channel");
        return;
    }
    BlockMonitor& monitor = player.monitor();
    const std::uint32_t handle = player.handle();
    outcome.operation(2);
    const int offeredBefore = offersEditor(handle);
    const Round first = openAndClose(handle, milliseconds(300));
    if (first == Round::Refused)
        outcome.problem("TALVEN_ShowEditor refused the handle");
    if (first == Round::Unseen) {
        explainUnseen(offeredBefore, offersEditor(handle), outcome);
        // Audio ran through the plug-in for this check too, whatever showed.
        if (!monitor.waitForBlocks(1))
            outcome.problem("audio did not run");
        player.release();
        takeCensus(outcome);
        return;
    }
    const std::uint64_t blocksBefore = monitor.blocks();
    int unseen = 0;
    for (int round = 1; round < kRounds; ++round) {
        outcome.operation(2);
        const Round result = openAndClose(handle, milliseconds(random.between(1, 30)));
        if (result == Round::Refused)
            outcome.problem("TALVEN_ShowEditor refused the handle in round " + std::to_string(round));
        unseen += result == Round::Unseen ? 1 : 0;
    }
    if (unseen > 0)
        outcome.problem("the editor window did not show in " + std::to_string(unseen) + " of " +
                        std::to_string(kRounds) + " rounds");
    if (!monitor.waitForBlocks(1) || monitor.blocks() <= blocksBefore)
        outcome.problem("audio stalled while the editor opened and closed");
    outcome.summary("editor opened and closed " + std::to_string(kRounds) + " times while audio ran, " +
                    std::to_string(monitor.blocks() - blocksBefore) + " blocks went by");
    player.release();
    pumpMessages(milliseconds(50));
    takeCensus(outcome);
}

} // namespace talven::validate
