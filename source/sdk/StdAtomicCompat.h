// Force-included into the SDK's funknown.cpp on Linux only. There the SDK
// counts references with __atomic_add and then reads the count back with a
// plain load, so two threads releasing one object at once can both see zero
// (a double delete) or neither (a leak). The SDK's <stdatomic.h> route is
// sound but written for C; these two names let it compile as C++.
#pragma once

#include <atomic>
#include <cstdint>

// Clang's own <stdatomic.h> declares both for C++ too (as _Atomic types).
#ifndef __clang__
using atomic_int_least32_t = std::atomic<std::int_least32_t>;
using std::atomic_fetch_add;
#endif
