// The C boundary's state: per-thread error codes and test-only failure
// injection (BASSTEST_FailNextCall).
#include "api.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace talvenbass {

thread_local int tlsError = BASS_OK;

namespace {

const char *const kInjectable[] = {
    "BASS_Init",           "BASS_Free",              "BASS_SetConfig",          "BASS_GetConfig",
    "BASS_StreamCreate",   "BASS_StreamCreateFile",  "BASS_StreamFree",         "BASS_ChannelFree",
    "BASS_ChannelGetInfo", "BASS_ChannelGetData",    "BASS_ChannelGetLength",   "BASS_ChannelGetPosition",
    "BASS_ChannelPlay",    "BASS_ChannelStop",       "BASS_ChannelSetPosition", "BASS_ChannelSetDSP",
    "BASS_ChannelRemoveDSP", "BASS_ChannelSetSync",  "BASS_ChannelRemoveSync",
};

struct Injection {
    std::mutex mutex;
    std::map<std::string, int> pending;
};

Injection &injection() {
    static Injection instance;
    return instance;
}

} // namespace

bool takeInjected(const char *function, int &code) {
    Injection &inj = injection();
    std::lock_guard<std::mutex> lock(inj.mutex);
    if (inj.pending.empty())
        return false;
    const auto it = inj.pending.find(function);
    if (it == inj.pending.end())
        return false;
    code = it->second;
    inj.pending.erase(it);
    return true;
}

bool injectFailure(const char *function, int code) {
    Injection &inj = injection();
    std::lock_guard<std::mutex> lock(inj.mutex);
    if (!function) {
        inj.pending.clear();
        return true;
    }
    for (const char *name : kInjectable) {
        if (std::strcmp(name, function) == 0) {
            inj.pending[name] = code;
            return true;
        }
    }
    return false;
}

} // namespace talvenbass
