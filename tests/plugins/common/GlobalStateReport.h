// What the GlobalState test plug-in (tests/plugins/module_entry) notes about
// the way a host drives its module, readable by tests through the exported
// function TalvenTestReadGlobalState. Only tests read it.
#pragma once

#define TALVEN_TEST_GLOBAL_STATE_SYMBOL "TalvenTestReadGlobalState"
// The exit code of a process whose host called process after the module's
// static objects were destroyed at exit.
#define TALVEN_TEST_PROCESS_AFTER_STATICS_EXIT_CODE 9

struct TalvenTestGlobalState {
    int entries;              // ModuleEntry / InitDll
    int exits;                // ModuleExit / ExitDll
    int overlaps;             // a guarded call began while another thread was inside one
    int unentered;            // a factory or set-up call outside entry and exit, a second entry, an exit without entry
    int exitsWithLiveObjects; // the exit point ran while objects of the factory were alive
    int liveObjects;          // components and controllers alive now
    long long guardedCalls;   // entry, exit, GetPluginFactory, factory calls, initialize, terminate
};

typedef void (*TalvenTestGlobalStateProc)(struct TalvenTestGlobalState* out);
