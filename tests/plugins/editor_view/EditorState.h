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

void addLiveView(EditorView* view);
void removeLiveView(EditorView* view);
int liveViewCount();
// The newest live view with one more reference, or null; the caller releases it.
EditorView* newestLiveView();

} // namespace talven::testplugin
