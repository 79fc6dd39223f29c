#include "EntryLog.h"
#include "EntryPoints.h"

#include <cstring>
#include <mutex>

namespace talven::testplugin {
namespace {

std::mutex& logLock()
{
    static std::mutex lock;
    return lock;
}

TalvenTestEntryCounts& counts()
{
    static TalvenTestEntryCounts all{};
    return all;
}

void appendOrder(TalvenTestEntryCounts& all, char which)
{
    size_t length = std::strlen(all.order);
    if (length + 1 < sizeof(all.order)) {
        all.order[length] = which;
        all.order[length + 1] = '\0';
    }
}

} // namespace

void noteEntry(char which)
{
    std::lock_guard<std::mutex> guard(logLock());
    TalvenTestEntryCounts& all = counts();
    if (which == 'I')
        ++all.initCalls;
    else if (which == 'X')
        ++all.exitCalls;
    else if (which == 'F')
        ++all.factoryCalls;
    appendOrder(all, which);
}

void noteModuleEntry(void* libraryHandle)
{
    {
        std::lock_guard<std::mutex> guard(logLock());
        counts().moduleEntryArgument = libraryHandle;
    }
    noteEntry('I');
}

void noteHostContext(void* context)
{
    std::lock_guard<std::mutex> guard(logLock());
    ++counts().hostContextCalls;
    counts().hostContext = context;
}

void readEntryCounts(TalvenTestEntryCounts* out)
{
    if (!out)
        return;
    std::lock_guard<std::mutex> guard(logLock());
    *out = counts();
}

} // namespace talven::testplugin
