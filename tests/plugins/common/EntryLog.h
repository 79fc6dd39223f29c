// What a test plug-in records of its entry points and of the host context its
// factory was given, readable by tests through the exported function
// TalvenTestReadEntryCounts (plain C, so that a test can call it through a
// symbol lookup). Only tests read it; the library never does.
#pragma once

#define TALVEN_TEST_ENTRY_COUNTS_SYMBOL "TalvenTestReadEntryCounts"

struct TalvenTestEntryCounts {
    int initCalls;             // InitDll / ModuleEntry
    int exitCalls;             // ExitDll / ModuleExit
    int factoryCalls;          // GetPluginFactory
    void* moduleEntryArgument; // the handle ModuleEntry received last (Linux)
    char order[64];            // 'I', 'F', 'X' in call order, zero-terminated
    int hostContextCalls;      // IPluginFactory3::setHostContext
    void* hostContext;         // the context it received last
};

typedef void (*TalvenTestEntryCountsProc)(struct TalvenTestEntryCounts* out);
