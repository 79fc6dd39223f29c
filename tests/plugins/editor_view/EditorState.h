// What the EditorEffect plug-in shares between its views and the test
// controls: the options a test set, the log of the host's calls on the
// editor, the events it reports, and the views alive now. Kept in this
// module's memory, or, when TALVEN_PROBE_SHARED names a folder, in the file
// <folder>/EditorEffect.editor that talven-host maps too, so that a test
// steers and reads a plug-in running there. Any thread.
#pragma once

#include "EditorExports.h"

#include <cstdint>
#include <string>

namespace talven::testplugin {

class EditorView;

TalvenEditorOptions editorOptions();
void setEditorOptions(const TalvenEditorOptions& options);
TalvenEditorOptions defaultEditorOptions();
// Default options, empty log and events, nothing asked, no observer.
void resetEditorState();

void logEditorCall(const std::string& call);
std::string editorLogText();
void clearEditorLog();

void setEditorObserver(TalvenEditorEventProc observer);
// Records the event with the thread's token and tells the observer, if any.
void notifyEditorEvent(const char* event);
int readEditorEvents(TalvenEditorEvent* events, int capacity);
void clearEditorEvents();
// The calling thread, told apart from every other thread of every process.
std::uint64_t threadToken();

// Timer ticks of every view so far.
void countViewTick();
int viewTicks();

// An edit a test asked the view to make, waiting for the view's thread.
// request replaces one not yet made; take hands it over once.
void requestViewEdit(unsigned id, double value);
bool takeViewEdit(unsigned& id, double& value);
// Makes the waiting edit, if any, and answers a call asked through
// askNewestView, through the newest live view of this process. The view's
// thread.
void serviceViewEdits();
// What a view does by itself on its run loop's first tick, for a test that
// cannot reach these exports because the plug-in runs in another process:
// the environment's TALVEN_EDITOR_EFFECT_FIRST_TICK "resize" asks the frame
// for 50 x 20 more, "edit" edits "Level" (id 0) to 0.25. The view's thread.
void actOnFirstTick();

// Whether the record is the shared file's.
bool editorRecordShared();
enum class ViewCall : std::int32_t { none, resize, frameAnswersItself };
// Has the newest live view, in whichever process it lives, make the call on
// its own thread, and waits for its answer: -1 without a view or when none
// answered in time. For a process without views of its own.
int askNewestView(ViewCall kind, int width = 0, int height = 0);

void addLiveView(EditorView* view);
void removeLiveView(EditorView* view);
// The view's child window, or null once it has none.
void setLiveViewChild(EditorView* view, void* child);
// Views alive in every process sharing the record.
int liveViewCount();
// The newest live view's child window (of whichever process), or null.
void* newestChildWindow();
// The newest live view of this process with one more reference, or null; the
// caller releases it.
EditorView* newestLiveView();

} // namespace talven::testplugin
