// zam-plugins' own editors (DPF, drawing with OpenGL through Mesa) in the
// library's X11 window: a second, independent implementation of the view
// and run-loop interfaces, which draws nothing unless the host's run loop
// serves it. The test keeps a screenshot of each under build/<tree>/artifacts.
#include "X11EditorSupport.h"
#include "EmbedCases.h"
#include "IsolatedRun.h"

#include "TestSupport.h"

#include "editor/EditorThread.h"
#include "editor/WindowController.h"
#include "instance/PluginInstance.h"
#include "registry/Registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace talven::test {
namespace {

const std::string kZamFolder = "/usr/lib/vst3/";

class ZamEditorTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (!testDisplay())
            GTEST_SKIP() << noDisplayReason();
        // Mesa unloads its software driver when a GUI's GL display closes;
        // what the driver keeps in its globals would then look lost to
        // LeakSanitizer. Loaded here too (Debian's path), it stays until the
        // program ends, as the system counts the loads.
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_LOCAL);
        ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr));
        stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE, silence, nullptr);
        ASSERT_NE(stream, 0u);
    }
    void TearDown() override
    {
        if (testDisplay())
            BASS_Free();
    }

    static DWORD CALLBACK silence(HSTREAM, void* buffer, DWORD length, void*)
    {
        std::fill_n(static_cast<char*>(buffer), length, 0);
        return length;
    }

    // The size the plug-in's view reports, asked on the editor thread.
    Geometry viewSize(std::uint32_t handle)
    {
        Geometry size;
        PluginInstance* instance = refInstance(handle);
        if (!instance)
            return size;
        onEditorThread([&] {
            std::shared_ptr<Steinberg::Vst::EditorHost::WindowController> controller;
            {
                std::lock_guard<std::mutex> guard(instance->editor.lock);
                controller = instance->editor.controller;
            }
            Steinberg::ViewRect rect;
            if (controller && controller->view() && controller->view()->getSize(&rect) == Steinberg::kResultOk) {
                size.width = rect.getWidth();
                size.height = rect.getHeight();
            }
        });
        unrefHandle(handle);
        return size;
    }

    HSTREAM stream = 0;
};

TEST_P(ZamEditorTest, TheRealEditorDrawsInAWindowOfItsViewsSizeWithTheTitleGiven)
{
    const std::string name = GetParam();
    const std::string path = kZamFolder + name + ".vst3";
    const std::string title = name + " (Talven)";
    const std::uint32_t handle = talven::test::attachForTest(stream, path.c_str(), 1, 40, 30, nullptr, title.c_str());
    ASSERT_NE(handle, 0u);
    Window frame = 0;
    ASSERT_TRUE(waitUntil([&] {
        const std::vector<Window> windows = editorWindows();
        frame = windows.size() == 1 ? windows.front() : 0;
        return frame != 0 && isViewable(frame);
    }));
    EXPECT_EQ(titleOf(frame), title);

    // An isolated plug-in's view is in its own process: only the window's
    // size tells there.
    const Geometry shown = geometryOf(frame);
    const Geometry view = talven::test::isolatedRun() ? shown : viewSize(handle);
    EXPECT_GT(view.width, 100);
    EXPECT_GT(view.height, 100);
    EXPECT_EQ(shown.width, view.width);
    EXPECT_EQ(shown.height, view.height);
    EXPECT_EQ(shown.left, 40);
    EXPECT_EQ(shown.top, 30);

    // Audio runs through the plug-in meanwhile.
    std::vector<float> block(2 * 512);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(BASS_ChannelGetData(stream, block.data(), static_cast<DWORD>(block.size() * sizeof(float))),
                  block.size() * sizeof(float));

    // The GUI has drawn once the frame shows more than one colour.
    Image screen;
    EXPECT_TRUE(waitUntil(
        [&] {
            screen = captureWindow(frame);
            return screen.pixelsOtherThanFirst() > screen.width * screen.height / 20;
        },
        std::chrono::seconds(60)))
        << name << ": " << screen.pixelsOtherThanFirst() << " pixels differ from the first";
    EXPECT_TRUE(writePng(screen, std::string(TALVEN_ARTIFACT_DIR) + "/" + name + "-editor.png"));

    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    EXPECT_TRUE(waitUntil([] { return editorWindows().empty() && !EditorThread::running(); }));
}

// Embedded in a program's own window instead, the GUI draws inside that
// window, at its top-left corner, of the size TALVEN_GetEditorSize tells.
TEST_P(ZamEditorTest, TheRealEditorDrawsInsideTheProgramsOwnWindow)
{
    const std::string name = GetParam();
    const std::string path = kZamFolder + name + ".vst3";
    const std::uint32_t handle = TALVEN_ChannelSetDSP(stream, path.c_str(), 0, 0, 0, 0, 0, nullptr, nullptr);
    ASSERT_NE(handle, 0u);
    const Window panel = makeProgramWindow(200, 150);
    ASSERT_NE(panel, 0u);
    ASSERT_EQ(TALVEN_EmbedEditor(handle, reinterpret_cast<void*>(static_cast<std::uintptr_t>(panel))), 1);
    std::int32_t width = 0;
    std::int32_t height = 0;
    ASSERT_EQ(TALVEN_GetEditorSize(handle, &width, &height), 1);
    EXPECT_GT(width, 100);
    EXPECT_GT(height, 100);
    // The program fits its window to the view.
    XResizeWindow(testDisplay(), panel, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(testDisplay(), False);
    EXPECT_THAT(editorWindows(), testing::IsEmpty());

    // The GUI has drawn once the window shows its many colours, not the
    // program's white and the child's black (the same check as on Windows).
    Image screen;
    std::size_t colours = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
            screen = captureWindow(panel);
            if (screen.width != width || screen.height != height)
                return false;
            return guiDrewOverWindow(screen.pixels, colours);
        },
        std::chrono::seconds(60)))
        << name << ": " << colours << " colours, " << screen.width << "x" << screen.height;
    EXPECT_TRUE(writePng(screen, std::string(TALVEN_ARTIFACT_DIR) + "/" + name + "-embedded.png"));

    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    EXPECT_TRUE(waitUntil([&] { return childrenOf(panel).empty(); }));

    // Embedded again, and the program's window destroyed first: the GUI's
    // removal finds its own window gone, and its X errors stay away from
    // the program; the editor thread has nothing left to serve.
    ASSERT_EQ(TALVEN_EmbedEditor(handle, reinterpret_cast<void*>(static_cast<std::uintptr_t>(panel))), 1);
    destroyProgramWindow(panel);
    EXPECT_TRUE(waitUntil([] { return !EditorThread::running(); }));
    EXPECT_EQ(TALVEN_GetEditorSize(handle, &width, &height), 0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
    // The size query woke the editor thread, which now takes the plug-in's
    // last release; a process that ends first drops it unrun.
    EXPECT_TRUE(waitUntil([] { return !EditorThread::running(); }));
}

INSTANTIATE_TEST_SUITE_P(ZamPlugins, ZamEditorTest, ::testing::Values("ZamEQ2", "ZamCompX2"));

} // namespace
} // namespace talven::test
