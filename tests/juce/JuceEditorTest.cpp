// The JUCE plug-in's generic editor in the library's X11 window, on a bare
// X server (no window manager: JUCE then meets missing atoms): it opens,
// draws into the frame, takes state calls and edits while shown, and leaves
// the process running.
#include "JucePlugin.h"
#include "X11TestSupport.h"

#include "TestSupport.h"

#include "editor/EditorThread.h"

#include <X11/Xlib.h>

#include <gtest/gtest.h>

namespace talven::test {
namespace {

int childCount(Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(testDisplay(), window, &root, &parent, &children, &count))
        return -1;
    if (children)
        XFree(children);
    return static_cast<int>(count);
}

class JuceEditorTest : public JucePluginTest {
protected:
    void SetUp() override
    {
        if (inJuceChild() && !testDisplay())
            GTEST_SKIP() << noDisplayReason();
        JucePluginTest::SetUp();
    }
};

TEST_F(JuceEditorTest, TheGenericEditorOpensTakesPresetsAndEditsAndClosesWithoutEndingTheProcess)
{
    removeTraceFile();
    // Asked before any editor shows: the view made to answer must find the
    // window-manager atoms JUCE looks up once, at its first view.
    EXPECT_EQ(info().hasEditor, 1);
    ASSERT_EQ(TALVEN_ShowEditor(handle, 1, 20, 20, nullptr, "JUCE gain"), 1);
    Window frame = 0;
    ASSERT_TRUE(waitUntil([&] {
        const std::vector<Window> windows = editorWindows();
        frame = windows.size() == 1 ? windows.front() : 0;
        return frame != 0 && isViewable(frame) && childCount(frame) > 0;
    }));
    EXPECT_EQ(titleOf(frame), "JUCE gain");
    EXPECT_GT(geometryOf(frame).width, 100);

    // State and edits while the editor shows, with audio running.
    storeAndRecallAGain();

    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_TRUE(waitUntil([&] { return !isViewable(frame); }));
    // Shown again, then detached with it open.
    ASSERT_EQ(TALVEN_ShowEditor(handle, 1, 40, 40, nullptr, "JUCE gain"), 1);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    handle = 0;
    EXPECT_TRUE(waitUntil([] { return editorWindows().empty(); }));
    // The close and the plug-in's release finish on the editor thread after
    // the window went: waited for, since a process ending before them
    // unloads JUCE with its editor still alive.
    EXPECT_TRUE(waitUntil([] { return !EditorThread::running(); }));
    // Not one X error from the plug-in's GUI, which the library would have
    // ignored and traced.
    const std::string trace = readTraceFile();
    EXPECT_EQ(trace.find("X error"), std::string::npos) << trace.substr(trace.find("X error"), 200);
}

} // namespace
} // namespace talven::test
