#pragma once

#include "instance/PluginInstance.h"

namespace talven {

// What a plug-in left for the host to do outside its blocks, done on a
// thread of the program's (in the library's calls for the instance) or on
// the editor's thread while the editor is shown, never on the audio thread:
// the restarts it asked for, and the values its processor reported back,
// handed to its controller and the program's parameter callback.

// Both of the below. No lock held; not from inside the instance's block.
// mayWait: false on the editor's thread, which never waits for another
// thread's call into the controller (that call may be waiting for the editor
// thread): what finds the controller busy is left for a later call.
void serviceInstance(PluginInstance& instance, bool mayWait = true);

// Switches the plug-in off and on again for the restarts it asked for
// (kLatencyChanged, kIoChanged, kReloadComponent), asking its buses again and
// preparing the blocks again for the last two, and making the slots of the
// processor's reports again when the parameter list changed. Blocks pass dry
// meanwhile.
// Nothing when none is pending, or for a detached, bypassed-and-inactive or
// never-started plug-in beyond what it needs, and nothing on the audio thread.
void carryOutRestarts(PluginInstance& instance, bool mayWait = true);

// Swaps the instance's side-chain with feed (null removes it), switching the
// plug-in off, activating or deactivating its first auxiliary input bus,
// preparing the blocks and switching it on again, as a restart for new buses
// does; blocks pass dry meanwhile. feed then holds the side-chain replaced,
// for the caller to let go with no lock held. False with nothing changed on
// the audio thread, during a restart, for a detached instance, and when a
// feed is given to a plug-in without an auxiliary input. Caller's thread, no
// lock held.
bool replaceSidechain(PluginInstance& instance, std::unique_ptr<SidechainFeed>& feed);

// The controller hears the latest value of every parameter the processor
// reported since the last call (setParamNormalized), and so does the
// program's parameter callback.
void deliverOutputValues(PluginInstance& instance, bool mayWait = true);

} // namespace talven
