// Compiled into every recording plug-in, so that each module exports its own
// call log and test controls (RecordingExports.h).
#include "CallLog.h"
#include "RecordingExports.h"
#include "RecordingPlugin.h"

#include "pluginterfaces/base/fplatform.h"

#include <cstring>

extern "C" SMTG_EXPORT_SYMBOL int TalvenTestReadCalls(char* buffer, int capacity)
{
    const std::string text = talven::testplugin::callLogText();
    if (buffer && capacity > 0) {
        const size_t length = std::min(text.size(), static_cast<size_t>(capacity - 1));
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
    }
    return static_cast<int>(text.size());
}

extern "C" SMTG_EXPORT_SYMBOL void TalvenTestClearCalls(void)
{
    talven::testplugin::clearCallLog();
}

extern "C" SMTG_EXPORT_SYMBOL unsigned long long TalvenTestThreadTag(void)
{
    return talven::testplugin::currentThreadTag();
}

extern "C" SMTG_EXPORT_SYMBOL int TalvenTestControllerEdit(unsigned id, double value, int* results)
{
    if (!results)
        return -1;
    return talven::testplugin::editFromLiveController(id, value, results) ? 0 : -1;
}

extern "C" SMTG_EXPORT_SYMBOL int TalvenTestSendMessage(int fromComponent, const char* id)
{
    return talven::testplugin::sendFromLive(fromComponent != 0, id ? id : "");
}

extern "C" SMTG_EXPORT_SYMBOL int TalvenTestRequestRestart(int flags)
{
    return talven::testplugin::restartFromLiveController(flags);
}
