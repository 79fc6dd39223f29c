#include "EditorTestSupport.h"

#include "IsolatedRun.h"
#include "TestSupport.h"
#include "registry/Registry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>

namespace talven::test {
namespace {

// No load hook runs for the statically linked library: set the registry up
// as the hook would.
class RegistryEnvironment : public ::testing::Environment {
public:
    void SetUp() override { registryLoad(); }
    void TearDown() override { registryUnload(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new RegistryEnvironment);

std::mutex reportsLock;
std::vector<std::array<int, 3>> reports;

std::atomic<const EditorPlugin*> currentPlugin{nullptr};

// A run's shared record starts afresh: one a killed talven-host of an earlier
// run left would still count its views.
void removeStaleSharedRecord()
{
    static const bool removed = [] {
        const char* folder = std::getenv("TALVEN_PROBE_SHARED");
        if (folder && *folder)
            std::remove((std::string(folder) + "/EditorEffect.editor").c_str());
        return true;
    }();
    (void)removed;
}

} // namespace

std::string testPluginPath(const std::string& name)
{
    return std::string(TALVEN_TEST_PLUGIN_DIR) + "/" + name + ".vst3";
}

std::string EditorPlugin::libraryPath()
{
#ifdef _WIN32
    return path() + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/EditorEffect.vst3";
#else
    return path() + "/Contents/" TALVEN_TEST_PLUGIN_ARCH "/EditorEffect.so";
#endif
}

EditorPlugin::EditorPlugin()
{
    removeStaleSharedRecord();
    std::string error;
    library_ = loadLibrary(libraryPath(), error);
    if (!library_)
        return;
    if (auto reset = symbol<TalvenEditorResetProc>(TALVEN_EDITOR_RESET))
        reset();
    TalvenEditorOptions defaults{};
    defaults.offerView = 1;
    defaults.width = 400;
    defaults.height = 300;
    defaults.platformSupported = 1;
    configure(defaults);
    currentPlugin = this;
}

EditorPlugin::~EditorPlugin()
{
    const EditorPlugin* self = this;
    currentPlugin.compare_exchange_strong(self, nullptr);
    unload();
}

const EditorPlugin* EditorPlugin::current()
{
    return currentPlugin.load();
}

void EditorPlugin::unload()
{
    if (library_)
        freeLibrary(library_);
    library_ = nullptr;
}

void EditorPlugin::configure(const TalvenEditorOptions& options)
{
    options_ = options;
    if (auto set = symbol<TalvenEditorConfigureProc>(TALVEN_EDITOR_CONFIGURE))
        set(&options);
}

std::vector<std::string> EditorPlugin::log() const
{
    std::vector<std::string> lines;
    auto read = symbol<TalvenEditorReadLogProc>(TALVEN_EDITOR_READ_LOG);
    if (!read)
        return lines;
    std::string text(static_cast<size_t>(read(nullptr, 0)) + 1, '\0');
    read(&text[0], static_cast<int>(text.size()));
    std::istringstream stream(text.c_str());
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> EditorPlugin::logStartingWith(const std::string& prefix) const
{
    std::vector<std::string> found;
    for (const std::string& line : log()) {
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    }
    return found;
}

void EditorPlugin::clearLog() const
{
    if (auto clear = symbol<TalvenEditorClearLogProc>(TALVEN_EDITOR_CLEAR_LOG))
        clear();
}

int EditorPlugin::requestResize(int width, int height) const
{
    auto request = symbol<TalvenEditorRequestResizeProc>(TALVEN_EDITOR_REQUEST_RESIZE);
    return request ? request(width, height) : -2;
}

int EditorPlugin::liveViews() const
{
    auto count = symbol<TalvenEditorLiveViewsProc>(TALVEN_EDITOR_LIVE_VIEWS);
    return count ? count() : -1;
}

void* EditorPlugin::childWindow() const
{
    auto child = symbol<TalvenEditorChildWindowProc>(TALVEN_EDITOR_CHILD_WINDOW);
    return child ? child() : nullptr;
}

int EditorPlugin::frameAnswersItself() const
{
    auto answers = symbol<TalvenEditorFrameAnswersItselfProc>(TALVEN_EDITOR_FRAME_ANSWERS_ITSELF);
    return answers ? answers() : -2;
}

int EditorPlugin::requestEdit(unsigned id, double value) const
{
    auto request = symbol<TalvenEditorRequestEditProc>(TALVEN_EDITOR_REQUEST_EDIT);
    return request ? request(id, value) : -1;
}

int EditorPlugin::runLoopTicks() const
{
    auto ticks = symbol<TalvenEditorRunLoopTicksProc>(TALVEN_EDITOR_RUN_LOOP_TICKS);
    return ticks ? ticks() : -1;
}

void EditorPlugin::observe(TalvenEditorEventProc observer) const
{
    if (auto set = symbol<TalvenEditorObserveProc>(TALVEN_EDITOR_OBSERVE))
        set(observer);
}

std::vector<Event> EditorPlugin::events() const
{
    std::vector<Event> found;
    auto read = symbol<TalvenEditorReadEventsProc>(TALVEN_EDITOR_READ_EVENTS);
    if (!read)
        return found;
    std::vector<TalvenEditorEvent> events(static_cast<size_t>(read(nullptr, 0)) + 16);
    events.resize(static_cast<size_t>(std::min(read(events.data(), static_cast<int>(events.size())),
                                               static_cast<int>(events.size()))));
    for (const TalvenEditorEvent& event : events)
        found.emplace_back(std::string(event.name, std::find(event.name, event.name + sizeof event.name, '\0')),
                           event.thread);
    return found;
}

void EditorPlugin::clearEvents() const
{
    if (auto clear = symbol<TalvenEditorClearEventsProc>(TALVEN_EDITOR_CLEAR_EVENTS))
        clear();
}

ThreadToken EditorPlugin::threadToken() const
{
    auto token = symbol<TalvenEditorThreadTokenProc>(TALVEN_EDITOR_THREAD_TOKEN);
    return token ? token() : 0;
}

std::vector<std::array<int, 3>> positionReports()
{
    std::lock_guard<std::mutex> guard(reportsLock);
    return reports;
}

void clearPositionReports()
{
    std::lock_guard<std::mutex> guard(reportsLock);
    reports.clear();
}

void TALVEN_CALL recordPosition(int32_t left, int32_t top, int32_t closing)
{
    std::lock_guard<std::mutex> guard(reportsLock);
    reports.push_back({left, top, closing});
}

void TALVEN_CALL recordPositionElsewhere(int32_t, int32_t, int32_t closing)
{
    std::lock_guard<std::mutex> guard(reportsLock);
    reports.push_back({-1, -1, closing});
}

DWORD CALLBACK EditorEngineTest::Tone::proc(HSTREAM, void* buffer, DWORD length, void* user)
{
    auto* tone = static_cast<Tone*>(user);
    auto* samples = static_cast<float*>(buffer);
    const DWORD frames = length / (2 * sizeof(float));
    const std::int64_t first = tone->frame.load();
    for (DWORD j = 0; j < frames; ++j) {
        const double phase = 0.05 * static_cast<double>(first + static_cast<std::int64_t>(j));
        const float value = 0.1f * static_cast<float>(std::sin(phase));
        samples[2 * j] = value;
        samples[2 * j + 1] = -value;
    }
    tone->frame += frames;
    return frames * 2 * sizeof(float);
}

std::int64_t EditorEngineTest::framesRendered() const
{
    std::int64_t total = 0;
    for (const auto& tone : sources_)
        total += tone->frame.load();
    return total;
}

void EditorEngineTest::SetUp()
{
    ASSERT_TRUE(plugin.loaded());
    removeTraceFile();
    clearPositionReports();
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

void EditorEngineTest::TearDown()
{
    BASS_Free();
    // An isolated plug-in's view goes in talven-host after the detach
    // returned; the next test would count it.
    if (isolatedRun())
        waitUntil([&] { return plugin.liveViews() <= 0; });
    sources_.clear();
}

HSTREAM EditorEngineTest::makeStream(DWORD flags)
{
    auto tone = std::make_unique<Tone>();
    const HSTREAM stream = BASS_StreamCreate(44100, 2, BASS_SAMPLE_FLOAT | flags, Tone::proc, tone.get());
    if (stream)
        sources_.push_back(std::move(tone));
    return stream;
}

HSTREAM EditorEngineTest::decodeStream()
{
    return makeStream(BASS_STREAM_DECODE);
}

HSTREAM EditorEngineTest::playingStream()
{
    return makeStream(0);
}

std::uint32_t EditorEngineTest::attach(HSTREAM stream, std::uint8_t showEditor, int x, int y,
                                       TALVEN_POSITIONPROC callback, const char* title, const std::string& name)
{
    return attachForTest(stream, testPluginPath(name).c_str(), showEditor, x, y, callback, title);
}

} // namespace talven::test
