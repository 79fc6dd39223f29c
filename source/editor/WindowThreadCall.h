#pragma once

#include <windows.h>

#include <functional>

namespace talven {

// Runs work on the thread that owns window and waits for it: inline when
// that is the calling thread (or the window is gone), else handed to it
// through a message that thread's message dispatch delivers (sent messages
// are delivered while it waits in GetMessage, PeekMessage or another sent
// message). A thread that dispatches no messages keeps the caller waiting.
// An exception work throws comes out here. Any thread, no lock held.
void runOnWindowThread(HWND window, const std::function<void()>& work);

} // namespace talven
