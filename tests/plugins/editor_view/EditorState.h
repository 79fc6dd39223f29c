// What the EditorEffect plug-in shares between its views and the test
// controls: the options a test set, the log of the host's calls on the
// editor, and the views alive now. Any thread.
#pragma once

#include "EditorExports.h"

#include <string>

namespace talven::testplugin {

class EditorView;

TalvenEditorOptions editorOptions();
void setEditorOptions(const TalvenEditorOptions& options);
TalvenEditorOptions defaultEditorOptions();

void logEditorCall(const std::string& call);
std::string editorLogText();
void clearEditorLog();

void setEditorObserver(TalvenEditorEventProc observer);
// Tells the observer, if any.
void notifyEditorEvent(const char* event);

// An edit a test asked the view to make, waiting for the view's thread.
// request replaces one not yet made; take hands it over once.
void requestViewEdit(unsigned id, double value);
bool takeViewEdit(unsigned& id, double& value);
// Makes the waiting edit, if any, through the newest live view. The view's
// thread.
void serviceViewEdits();
// What a view does by itself on its run loop's first tick, for a test that
// cannot reach these exports because the plug-in runs in another process:
// the environment's TALVEN_EDITOR_EFFECT_FIRST_TICK "resize" asks the frame
// for 50 x 20 more, "edit" edits "Level" (id 0) to 0.25. The view's thread.
void actOnFirstTick();

void addLiveView(EditorView* view);
void removeLiveView(EditorView* view);
int liveViewCount();
// The newest live view with one more reference, or null; the caller releases it.
EditorView* newestLiveView();

} // namespace talven::testplugin
