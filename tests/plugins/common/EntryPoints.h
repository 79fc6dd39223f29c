// Entry-point helpers for test plug-ins. A plug-in uses the macros it needs
// and leaves out the others to show what a host does without them:
//   TALVEN_TEST_PLUGIN_FACTORY(description)   GetPluginFactory over a class table
//   TALVEN_TEST_PLUGIN_NULL_FACTORY()         GetPluginFactory returning null
//   TALVEN_TEST_PLUGIN_INIT_EXIT(initResult)  InitDll/ExitDll (Windows) or
//                                             ModuleEntry/ModuleExit (Linux)
// Every call is recorded for TalvenTestReadEntryCounts (EntryLog.h).
#pragma once

#include "TestPluginFactory.h"

#include "pluginterfaces/base/fplatform.h"

namespace talven::testplugin {

// Any thread the host calls an entry point on.
void noteEntry(char which);
void noteModuleEntry(void* libraryHandle);
void noteHostContext(void* context);

} // namespace talven::testplugin

#define TALVEN_TEST_PLUGIN_FACTORY(description)                                        \
    extern "C" SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() \
    {                                                                                  \
        talven::testplugin::noteEntry('F');                                            \
        return talven::testplugin::makeFactory(description);                           \
    }

#define TALVEN_TEST_PLUGIN_NULL_FACTORY()                                              \
    extern "C" SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() \
    {                                                                                  \
        talven::testplugin::noteEntry('F');                                            \
        return nullptr;                                                                \
    }

#if defined(_WIN32)
#define TALVEN_TEST_PLUGIN_INIT_EXIT(initResult)                                       \
    extern "C" SMTG_EXPORT_SYMBOL bool InitDll()                                       \
    {                                                                                  \
        talven::testplugin::noteEntry('I');                                            \
        return (initResult);                                                           \
    }                                                                                  \
    extern "C" SMTG_EXPORT_SYMBOL bool ExitDll()                                       \
    {                                                                                  \
        talven::testplugin::noteEntry('X');                                            \
        return true;                                                                   \
    }
#else
#define TALVEN_TEST_PLUGIN_INIT_EXIT(initResult)                                       \
    extern "C" SMTG_EXPORT_SYMBOL bool ModuleEntry(void* libraryHandle)                \
    {                                                                                  \
        talven::testplugin::noteModuleEntry(libraryHandle);                            \
        return (initResult);                                                           \
    }                                                                                  \
    extern "C" SMTG_EXPORT_SYMBOL bool ModuleExit()                                    \
    {                                                                                  \
        talven::testplugin::noteEntry('X');                                            \
        return true;                                                                   \
    }
#endif
