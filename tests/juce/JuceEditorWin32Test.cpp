// The JUCE plug-in's generic editor in the library's Win32 frame (under
// Wine in the Windows tree): it opens with JUCE's window inside, takes state
// calls and edits while shown, hides, shows again and is detached while open.
// The editor lives on this thread, which waitUntil pumps.
#include "JucePlugin.h"

#include "EditorWindowSupport.h"
#include "TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace talven::test {
namespace {

// The one visible editor frame with the plug-in's window inside, or null.
HWND shownFrame()
{
    HWND shown = nullptr;
    for (HWND frame : editorWindows()) {
        if (IsWindowVisible(frame) && GetWindow(frame, GW_CHILD) != nullptr) {
            if (shown != nullptr)
                return nullptr;
            shown = frame;
        }
    }
    return shown;
}

class JuceEditorTest : public JucePluginTest {};

TEST_F(JuceEditorTest, TheGenericEditorOpensTakesPresetsAndEditsAndClosesWithoutEndingTheProcess)
{
    EXPECT_EQ(info().hasEditor, 1);
    ASSERT_EQ(TALVEN_ShowEditor(handle, 1, 20, 20, nullptr, "JUCE gain"), 1);
    HWND frame = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (frame = shownFrame()) != nullptr; }));
    EXPECT_EQ(windowText(frame), L"JUCE gain");
    EXPECT_GT(clientSize(frame).cx, 100);

    // State and edits while the editor shows, with audio running.
    storeAndRecallAGain();
    pumpMessages();

    EXPECT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(frame); }));
    // Shown again (in a new frame), then detached with it open.
    ASSERT_EQ(TALVEN_ShowEditor(handle, 1, 40, 40, nullptr, "JUCE gain"), 1);
    EXPECT_TRUE(waitUntil([] { return shownFrame() != nullptr; }));
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    handle = 0;
    EXPECT_TRUE(waitUntil([] { return editorWindows().empty(); }));
}

} // namespace
} // namespace talven::test
