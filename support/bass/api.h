// The C boundary of the engine: per-thread error codes, injected failures,
// and the wrapper every exported call runs in.
#pragma once

#include "bass.h"

#include <new>

namespace talvenbass {

extern thread_local int tlsError;

template <class T> T fail(int code, T result) {
    tlsError = code;
    return result;
}

template <class T> T succeed(T result) {
    tlsError = BASS_OK;
    return result;
}

constexpr DWORD kFailDword = static_cast<DWORD>(-1);
constexpr QWORD kFailQword = static_cast<QWORD>(-1);

// Takes the failure injected for `function`, if any (any thread).
bool takeInjected(const char *function, int &code);
// Arms (or, for a null name, clears) an injected failure; false for a name
// that cannot be made to fail.
bool injectFailure(const char *function, int code);

// Runs one exported call: a pending injected failure wins, and no exception
// crosses the C boundary.
template <class R, class F> R api(const char *function, R failure, F &&body) {
    int injected = 0;
    try {
        if (takeInjected(function, injected))
            return fail(injected, failure);
        return body();
    } catch (const std::bad_alloc &) {
        return fail(BASS_ERROR_MEM, failure);
    } catch (...) {
        return fail(BASS_ERROR_UNKNOWN, failure);
    }
}

} // namespace talvenbass
