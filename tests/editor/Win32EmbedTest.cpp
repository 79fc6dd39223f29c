// Editors embedded in a program's own Win32 window: the view in a child
// window of the library's class inside it, on the parent's thread (a call
// from another thread is handed there); the ways an embedding ends, what is
// refused, the view's size both ways, many embeddings leaving nothing, and
// zam-plugins' ZamCompX2 (MinGW-w64 build) drawing inside the window.
#include "EditorTestSupport.h"
#include "EmbedCases.h"
#include "EditorWindowSupport.h"
#include "TestSupport.h"

#include "pluginterfaces/base/funknown.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <future>
#include <mutex>
#include <utility>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace talven::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const wchar_t kPanelClass[] = L"TalvenTestPanel";

// A program's own top-level window, white, shown.
HWND makePanel(int width, int height)
{
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = kPanelClass;
        return RegisterClassW(&windowClass) != 0;
    }();
    if (!registered)
        return nullptr;
    HWND panel = CreateWindowExW(0, kPanelClass, L"Program", WS_POPUP | WS_VISIBLE, 30, 30, width, height, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    pumpMessages();
    return panel;
}

std::vector<HWND> childrenOf(HWND parent)
{
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        found.push_back(child);
    return found;
}

// What the editor callback heard: handle, width, height, and the size
// TALVEN_GetEditorSize read from inside it.
using ResizeReport = std::array<std::int64_t, 5>;
std::vector<ResizeReport> resizeReports;

void TALVEN_CALL recordResize(std::uint32_t handle, std::int32_t width, std::int32_t height, void* user)
{
    std::int32_t readWidth = 0;
    std::int32_t readHeight = 0;
    TALVEN_GetEditorSize(handle, &readWidth, &readHeight);
    ++*static_cast<int*>(user);
    resizeReports.push_back({handle, width, height, readWidth, readHeight});
}

// The pixels of the window's client area, 0xRRGGBB, as read from source (the
// screen, or the window's own device context).
std::vector<unsigned int> capture(HWND window, int width, int height, bool fromScreen)
{
    std::vector<unsigned int> pixels;
    POINT corner{0, 0};
    if (fromScreen)
        ClientToScreen(window, &corner);
    HWND sourceWindow = fromScreen ? nullptr : window;
    HDC source = GetDC(sourceWindow);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, corner.x, corner.y, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (!GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS))
        pixels.clear();
    for (unsigned int& pixel : pixels)
        pixel &= 0xFFFFFFu;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(sourceWindow, source);
    return pixels;
}

// Keeps the picture as a 32-bit BMP file, as CI artefact.
void writeBmp(const std::vector<unsigned int>& pixels, int width, int height, const std::string& path)
{
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    const DWORD bytes = static_cast<DWORD>(pixels.size() * sizeof(unsigned int));
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + bytes;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return;
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&info, sizeof(info), 1, out);
    std::fwrite(pixels.data(), 1, bytes, out);
    std::fclose(out);
}

class Win32EmbedTest : public EditorEngineTest {
protected:
    void SetUp() override
    {
        EditorEngineTest::SetUp();
        stream = decodeStream();
        ASSERT_NE(stream, 0u);
        handle = attach(stream);
        ASSERT_NE(handle, 0u);
        plugin.clearLog();
        panel = makePanel(640, 480);
        ASSERT_NE(panel, nullptr);
        resizeReports.clear();
    }
    void TearDown() override
    {
        TALVEN_ChannelRemoveDSP(0, handle);
        pumpMessages();
        if (panel && IsWindow(panel))
            DestroyWindow(panel);
        pumpMessages();
        EditorEngineTest::TearDown();
    }

    // The library's child window in parent after an embedding, or null.
    HWND embedIn(HWND parent)
    {
        if (TALVEN_EmbedEditor(handle, parent) != 1)
            return nullptr;
        pumpMessages();
        const std::vector<HWND> children = childrenOf(parent);
        const HWND view = static_cast<HWND>(plugin.childWindow());
        if (children.size() != 1 || !view || GetParent(view) != children.front() || !IsWindowVisible(children.front()))
            return nullptr;
        return children.front();
    }

    HSTREAM stream = 0;
    std::uint32_t handle = 0;
    HWND panel = nullptr;
};

TEST_F(Win32EmbedTest, TheViewShowsInAChildWindowOfTheLibrarysClassAtTheParentsCorner)
{
    const HWND frame = embedIn(panel);
    ASSERT_NE(frame, nullptr);
    wchar_t name[64] = {};
    GetClassNameW(frame, name, 64);
    EXPECT_EQ(std::wstring(name), L"VSTSDK WindowClass");
    EXPECT_NE(GetWindowLongPtrW(frame, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_NE(GetWindowLongPtrW(frame, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
    RECT placed{};
    GetWindowRect(frame, &placed);
    POINT corner{0, 0};
    ClientToScreen(panel, &corner);
    EXPECT_EQ(placed.left, corner.x);
    EXPECT_EQ(placed.top, corner.y);
    EXPECT_EQ(clientSize(frame).cx, 400);
    EXPECT_EQ(clientSize(frame).cy, 300);
    std::int32_t width = 0;
    std::int32_t height = 0;
    EXPECT_EQ(TALVEN_GetEditorSize(handle, &width, &height), 1);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 300);
    EXPECT_THAT(plugin.logStartingWith("attached"), ElementsAre("attached HWND"));
    EXPECT_THAT(editorWindows(), IsEmpty()); // no top-level window of the library's
    // Focus given to the child (tabbing into it) goes on to the view's window.
    SetActiveWindow(panel);
    SetFocus(frame);
    EXPECT_EQ(GetFocus(), static_cast<HWND>(plugin.childWindow()));
}

// The threads EditorEffect's view was attached and removed on.
std::mutex viewEventsLock;
std::vector<std::pair<std::string, DWORD>> viewEvents;

void TALVEN_CALL recordViewEvent(const char* event)
{
    std::lock_guard<std::mutex> guard(viewEventsLock);
    viewEvents.emplace_back(event, GetCurrentThreadId());
}

TEST_F(Win32EmbedTest, ACallFromAnotherThreadIsHandedToTheParentsThread)
{
    viewEvents.clear();
    plugin.observe(recordViewEvent);
    std::future<int> embedded = std::async(std::launch::async, [this] { return TALVEN_EmbedEditor(handle, panel); });
    // This thread dispatches until the call came back.
    while (embedded.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        pumpMessages();
    EXPECT_EQ(embedded.get(), 1);
    const std::vector<HWND> children = childrenOf(panel);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(GetWindowThreadProcessId(children.front(), nullptr), GetCurrentThreadId());
    std::future<int> removed = std::async(std::launch::async, [this] { return TALVEN_EmbedEditor(handle, nullptr); });
    while (removed.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        pumpMessages();
    EXPECT_EQ(removed.get(), 1);
    pumpMessages();
    EXPECT_THAT(childrenOf(panel), IsEmpty());
    EXPECT_EQ(plugin.liveViews(), 0);
    plugin.observe(nullptr);
    const DWORD here = GetCurrentThreadId();
    EXPECT_THAT(viewEvents, ElementsAre(std::make_pair(std::string("attached"), here),
                                        std::make_pair(std::string("removed"), here)));
}

class Win32EmbedEndingTest : public Win32EmbedTest, public ::testing::WithParamInterface<EndingCase> {};

// However the embedding ends, the view is removed before its frame goes and
// released, and no window of the library's is left.
TEST_P(Win32EmbedEndingTest, TheViewIsRemovedAndReleasedAndNothingIsLeft)
{
    const int windowsBefore = threadWindowCount();
    const HWND frame = embedIn(panel);
    ASSERT_NE(frame, nullptr);
    const HWND view = static_cast<HWND>(plugin.childWindow());
    plugin.clearLog();
    const Ending ending = GetParam().ending;
    switch (ending) {
    case Ending::removal:
        EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
        break;
    case Ending::parentDestroyed:
        EXPECT_TRUE(DestroyWindow(panel));
        panel = nullptr;
        break;
    case Ending::detach:
        EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, handle), 1);
        break;
    case Ending::channelFree:
        EXPECT_EQ(TALVEN_ChannelFree(stream), 1);
        break;
    }
    pumpMessages();
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_THAT(plugin.logStartingWith("removed"), ElementsAre("removed"));
    const std::vector<std::string> log = plugin.log();
    EXPECT_LT(std::find(log.begin(), log.end(), "removed"), std::find(log.begin(), log.end(), "setFrame null"));
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_FALSE(IsWindow(view));
    // With the program's window gone Wine also drops the thread's input
    // method window: only the other endings keep the count.
    if (ending != Ending::parentDestroyed) {
        EXPECT_EQ(threadWindowCount(), windowsBefore);
    }
    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), GetParam().instanceLeft ? 1 : 0);
    std::int32_t width = 0;
    std::int32_t height = 0;
    EXPECT_EQ(TALVEN_GetEditorSize(handle, &width, &height), 0);
}

INSTANTIATE_TEST_SUITE_P(Endings, Win32EmbedEndingTest, ::testing::ValuesIn(kEndings), endingName);

TEST_F(Win32EmbedTest, AnEditorEmbedsAgainAndIsRefusedWhereItCannotGo)
{
    ASSERT_NE(embedIn(panel), nullptr);
    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    ASSERT_NE(embedIn(panel), nullptr);
    // While embedded the library's own window does not open.
    EXPECT_EQ(TALVEN_ShowEditor(handle, 1, 50, 60, nullptr, "Editor"), 1);
    EXPECT_THAT(editorWindows(), IsEmpty());
    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    EXPECT_THAT(plugin.logStartingWith("attached"), ElementsAre("attached HWND", "attached HWND"));

    const HWND gone = makePanel(10, 10);
    DestroyWindow(gone);
    struct Refusal {
        const char* name;
        HWND parent;
        std::uint32_t handle;
    };
    const Refusal refusals[] = {
        {"a destroyed window", gone, handle},
        {"a value that is no window", reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7FFF0)), handle},
        {"an unknown handle", panel, handle + 1000},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        plugin.clearLog();
        EXPECT_EQ(TALVEN_EmbedEditor(refusal.handle, refusal.parent), 0);
        EXPECT_THAT(plugin.logStartingWith("createView"), IsEmpty());
        EXPECT_THAT(childrenOf(panel), IsEmpty());
    }
    // The library's own window shows it: hidden first, then it embeds.
    ASSERT_EQ(TALVEN_ShowEditor(handle, 1, 50, 60, nullptr, "Editor"), 1);
    EXPECT_EQ(TALVEN_EmbedEditor(handle, panel), 0);
    EXPECT_THAT(childrenOf(panel), IsEmpty());
    ASSERT_EQ(TALVEN_ShowEditor(handle, 0, 0, 0, nullptr, nullptr), 1);
    EXPECT_NE(embedIn(panel), nullptr);
}

TEST_F(Win32EmbedTest, SizesGoBothWays)
{
    int calls = 0;
    ASSERT_EQ(TALVEN_SetEditorCallback(handle, recordResize, &calls), 1);
    const HWND frame = embedIn(panel);
    ASSERT_NE(frame, nullptr);
    // The view resizes itself: the child first, then the program hears.
    EXPECT_EQ(plugin.requestResize(450, 320), Steinberg::kResultOk);
    EXPECT_THAT(resizeReports, ElementsAre(ResizeReport{handle, 450, 320, 450, 320}));
    EXPECT_EQ(clientSize(frame).cx, 450);
    EXPECT_EQ(clientSize(frame).cy, 320);

    EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);

    // The program asks: through the view's constraints, no callback.
    for (const SizeRequest& request : kSizeRequests) {
        SCOPED_TRACE(request.name);
        TalvenEditorOptions options = plugin.options();
        options.canResize = request.canResize;
        options.maxWidth = request.maxWidth;
        options.refuseSizes = request.refuseSizes;
        plugin.configure(options);
        const HWND child = embedIn(panel);
        ASSERT_NE(child, nullptr);
        std::int32_t width = request.width;
        std::int32_t height = request.height;
        EXPECT_EQ(TALVEN_SetEditorSize(handle, &width, &height), request.result);
        EXPECT_EQ(width, request.takenW);
        EXPECT_EQ(height, request.takenH);
        EXPECT_EQ(clientSize(child).cx, request.result ? request.takenW : 400);
        EXPECT_EQ(clientSize(child).cy, request.result ? request.takenH : 300);
        EXPECT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1);
    }
    EXPECT_EQ(calls, 1);
}

TEST_F(Win32EmbedTest, TwoHundredEmbeddingsLeaveNoWindowOrView)
{
    const int windowsBefore = threadWindowCount();
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(TALVEN_EmbedEditor(handle, panel), 1) << "cycle " << i;
        ASSERT_EQ(childrenOf(panel).size(), 1u) << "cycle " << i;
        ASSERT_EQ(TALVEN_EmbedEditor(handle, nullptr), 1) << "cycle " << i;
        pumpMessages();
        ASSERT_THAT(childrenOf(panel), IsEmpty()) << "cycle " << i;
    }
    EXPECT_EQ(plugin.liveViews(), 0);
    EXPECT_EQ(threadWindowCount(), windowsBefore);
    EXPECT_THAT(plugin.logStartingWith("removed"), testing::SizeIs(200));
}

// The view's own window draws inside the program's: EditorEffect paints its
// child window blue (GDI), the rest of the program's window stays white.
TEST_F(Win32EmbedTest, TheViewDrawsInsideTheProgramsWindow)
{
    ASSERT_NE(embedIn(panel), nullptr);
    const unsigned int blue = 0x285AAAu; // RGB(40, 90, 170)
    std::vector<unsigned int> pixels;
    int inside = 0;
    int outside = 0;
    EXPECT_TRUE(waitUntil([&] {
        pumpMessages();
        pixels = capture(panel, 640, 480, true);
        inside = 0;
        outside = 0;
        for (int y = 0; y < 480 && !pixels.empty(); ++y) {
            for (int x = 0; x < 640; ++x) {
                const unsigned int pixel = pixels[static_cast<std::size_t>(y * 640 + x)];
                if (x < 400 && y < 300)
                    inside += pixel == blue ? 1 : 0;
                else
                    outside += pixel == 0xFFFFFFu ? 1 : 0;
            }
        }
        return inside > 400 * 300 * 9 / 10 && outside == 640 * 480 - 400 * 300;
    })) << inside << " blue inside, " << outside << " white outside";
    writeBmp(pixels, 640, 480, std::string(TALVEN_ARTIFACT_DIR) + "/EditorEffect-embedded.bmp");
}

// A folder the DLL search looks in (after the program's own) while it lives.
class DllSearchFolder {
public:
    explicit DllSearchFolder(const std::string& folder)
        : set_(SetDllDirectoryW(std::filesystem::path(folder).wstring().c_str()) != 0)
    {
    }
    ~DllSearchFolder()
    {
        if (set_)
            SetDllDirectoryW(nullptr);
    }
    DllSearchFolder(const DllSearchFolder&) = delete;
    DllSearchFolder& operator=(const DllSearchFolder&) = delete;
    bool set() const { return set_; }

private:
    bool set_;
};

// ZamCompX2's own GUI (DPF, OpenGL) inside the program's window: its window
// is a grandchild of the program's, of the view's size, and its picture is
// what the screen shows of the program's window. Under Wine its OpenGL is
// Mesa's software opengl32.dll (scripts/mesa-wgl, loaded from the folder
// given here as the test's WINEDLLOVERRIDES lets a native one load): Wine's
// own leaves an OpenGL child window's picture off screen, all black.
TEST_F(Win32EmbedTest, ZamCompX2DrawsInsideTheProgramsWindow)
{
    const std::string path = std::string(TALVEN_ZAM_BUILD_DIR) + "/windows/ZamCompX2.vst3";
    if (!std::filesystem::exists(path))
        GTEST_FAIL() << path << " is missing (scripts/zam-plugins builds it)";
    const std::string openGl = std::string(TALVEN_MESA_WGL_DIR) + "/opengl32.dll";
    if (!std::filesystem::exists(openGl))
        GTEST_FAIL() << openGl << " is missing (scripts/mesa-wgl builds it)";
    const DllSearchFolder mesa(TALVEN_MESA_WGL_DIR);
    ASSERT_TRUE(mesa.set());
    const std::uint32_t zam = TALVEN_ChannelSetDSP(stream, path.c_str(), 0, 0, 0, 0, 0, nullptr, nullptr);
    ASSERT_NE(zam, 0u);
    ASSERT_EQ(TALVEN_EmbedEditor(zam, panel), 1);
    std::int32_t width = 0;
    std::int32_t height = 0;
    ASSERT_EQ(TALVEN_GetEditorSize(zam, &width, &height), 1);
    EXPECT_GT(width, 100);
    EXPECT_GT(height, 100);
    // The program fits its window to the view.
    SetWindowPos(panel, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    const HWND frame = GetWindow(panel, GW_CHILD);
    ASSERT_NE(frame, nullptr);
    const HWND view = GetWindow(frame, GW_CHILD);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(IsWindowVisible(view));
    EXPECT_EQ(clientSize(frame).cx, width);
    EXPECT_EQ(clientSize(frame).cy, height);
    EXPECT_THAT(editorWindows(), IsEmpty());

    // The GUI has drawn once the window shows its many colours, not the
    // program's white and the child's black (the same check as on Linux).
    std::vector<unsigned int> pixels;
    std::size_t colours = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
            pumpMessages();
            pixels = capture(panel, width, height, true);
            return guiDrewOverWindow(pixels, colours);
        },
        std::chrono::seconds(60)))
        << colours << " colours in " << width << "x" << height;
    writeBmp(pixels, width, height, std::string(TALVEN_ARTIFACT_DIR) + "/ZamCompX2-embedded.bmp");
    EXPECT_EQ(TALVEN_EmbedEditor(zam, nullptr), 1);
    pumpMessages();
    EXPECT_THAT(childrenOf(panel), IsEmpty());
    EXPECT_FALSE(IsWindow(view));

    // Embedded again, and the program's window destroyed first.
    ASSERT_EQ(TALVEN_EmbedEditor(zam, panel), 1);
    const HWND again = GetWindow(GetWindow(panel, GW_CHILD), GW_CHILD);
    EXPECT_TRUE(DestroyWindow(panel));
    panel = nullptr;
    pumpMessages();
    EXPECT_FALSE(IsWindow(again));
    EXPECT_EQ(TALVEN_GetEditorSize(zam, &width, &height), 0);
    EXPECT_EQ(TALVEN_ChannelRemoveDSP(0, zam), 1);
}

} // namespace
} // namespace talven::test
