#include "EditorState.h"

#include "ChildWindow.h"
#include "EditorView.h"
#include "SharedFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace talven::testplugin {
namespace {

constexpr std::size_t kLogCapacity = 1u << 20;
constexpr int kViewSlots = 64;
constexpr int kEventCapacity = 4096;

// A live view: the order it was made in (0: the slot is free) and its child
// window, so that any process sees the newest one's.
struct ViewSlot {
    std::int64_t sequence;
    std::uint64_t child;
};

// A call a test made of the newest view from a process without one, waiting
// for a view's thread in the process that has it.
enum class CallState : std::int32_t { none, asked, taken, answered };

// Everything a test reads or steers, in one fixed layout: in this module's
// memory, or in a file talven-host maps too (SharedFile.h). lock guards all
// but ticks.
struct Record {
    Record() : options(defaultEditorOptions()) {}

    SharedSpinLock lock;
    TalvenEditorOptions options;
    std::int32_t editWaiting = 0;
    std::uint32_t editId = 0;
    double editValue = 0;
    CallState callState = CallState::none;
    ViewCall callKind = ViewCall::resize;
    std::int32_t callWidth = 0;
    std::int32_t callHeight = 0;
    std::int32_t callResult = 0;
    std::int64_t viewsMade = 0;
    ViewSlot views[kViewSlots] = {};
    std::int32_t eventCount = 0;
    TalvenEditorEvent events[kEventCapacity] = {};
    std::uint32_t logLength = 0;
    char log[kLogCapacity];
    std::atomic<std::int32_t> ticks{0};
};

struct Storage {
    SharedFile file{"EditorEffect.editor", sizeof(SharedRecord<Record>)};
    Record* shared = file.data() ? SharedRecord<Record>::adopt(file.data()) : nullptr;
    Record own;
};

Storage& storage()
{
    static Storage kept;
    return kept;
}

Record& record()
{
    Storage& kept = storage();
    return kept.shared ? *kept.shared : kept.own;
}

// The views of this process, oldest first, each with its slot in the
// record. Never destroyed: at process exit a view's thread may still be
// letting its last view go.
struct LocalViews {
    std::mutex lock;
    std::pair<EditorView*, int> views[kViewSlots] = {};
    int count = 0;
};

LocalViews& localViews()
{
    alignas(LocalViews) static unsigned char storage[sizeof(LocalViews)];
    static LocalViews* const views = new (storage) LocalViews;
    return *views;
}

std::atomic<TalvenEditorEventProc> observer{nullptr};

// The newest slot in use; -1 when none is. Under the record's lock.
int newestSlot(const Record& r)
{
    int newest = -1;
    for (int i = 0; i < kViewSlots; ++i) {
        if (r.views[i].sequence != 0 && (newest < 0 || r.views[i].sequence > r.views[newest].sequence))
            newest = i;
    }
    return newest;
}

} // namespace

TalvenEditorOptions defaultEditorOptions()
{
    TalvenEditorOptions options{};
    options.offerView = 1;
    options.width = 400;
    options.height = 300;
    options.platformSupported = 1;
    return options;
}

TalvenEditorOptions editorOptions()
{
    std::lock_guard<SharedSpinLock> guard(record().lock);
    return record().options;
}

void setEditorOptions(const TalvenEditorOptions& options)
{
    std::lock_guard<SharedSpinLock> guard(record().lock);
    record().options = options;
}

void resetEditorState()
{
    Record& r = record();
    {
        std::lock_guard<SharedSpinLock> guard(r.lock);
        r.options = defaultEditorOptions();
        r.editWaiting = 0;
        r.callState = CallState::none;
        r.eventCount = 0;
        r.logLength = 0;
    }
    setEditorObserver(nullptr);
}

void logEditorCall(const std::string& call)
{
    Record& r = record();
    std::lock_guard<SharedSpinLock> guard(r.lock);
    // A log that is full keeps its start: a test reading it fails visibly.
    if (r.logLength + call.size() + 1 > kLogCapacity)
        return;
    std::memcpy(r.log + r.logLength, call.data(), call.size());
    r.logLength += static_cast<std::uint32_t>(call.size());
    r.log[r.logLength++] = '\n';
}

std::string editorLogText()
{
    Record& r = record();
    std::lock_guard<SharedSpinLock> guard(r.lock);
    return std::string(r.log, r.logLength);
}

void clearEditorLog()
{
    std::lock_guard<SharedSpinLock> guard(record().lock);
    record().logLength = 0;
}

void setEditorObserver(TalvenEditorEventProc proc)
{
    observer.store(proc);
}

void notifyEditorEvent(const char* event)
{
    {
        Record& r = record();
        std::lock_guard<SharedSpinLock> guard(r.lock);
        if (r.eventCount < kEventCapacity) {
            TalvenEditorEvent& entry = r.events[r.eventCount++];
            std::snprintf(entry.name, sizeof entry.name, "%s", event);
            entry.thread = threadToken();
        }
    }
    if (const TalvenEditorEventProc proc = observer.load())
        proc(event);
}

int readEditorEvents(TalvenEditorEvent* events, int capacity)
{
    Record& r = record();
    std::lock_guard<SharedSpinLock> guard(r.lock);
    if (events)
        std::copy_n(r.events, std::min(capacity, r.eventCount), events);
    return r.eventCount;
}

void clearEditorEvents()
{
    std::lock_guard<SharedSpinLock> guard(record().lock);
    record().eventCount = 0;
}

std::uint64_t threadToken()
{
#ifdef _WIN32
    return (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) | GetCurrentThreadId();
#else
    return (static_cast<std::uint64_t>(::getpid()) << 32) | static_cast<std::uint32_t>(::syscall(SYS_gettid));
#endif
}

void addLiveView(EditorView* view)
{
    int slot = -1;
    {
        Record& r = record();
        std::lock_guard<SharedSpinLock> guard(r.lock);
        for (int i = 0; i < kViewSlots && slot < 0; ++i) {
            if (r.views[i].sequence == 0)
                slot = i;
        }
        if (slot >= 0)
            r.views[slot] = {++r.viewsMade, 0};
    }
    LocalViews& local = localViews();
    std::lock_guard<std::mutex> guard(local.lock);
    if (local.count < kViewSlots)
        local.views[local.count++] = {view, slot};
}

void removeLiveView(EditorView* view)
{
    int slot = -1;
    {
        LocalViews& local = localViews();
        std::lock_guard<std::mutex> guard(local.lock);
        auto* const end = local.views + local.count;
        auto* const found = std::find_if(local.views, end, [&](const auto& entry) { return entry.first == view; });
        if (found == end)
            return;
        slot = found->second;
        std::copy(found + 1, end, found);
        --local.count;
    }
    if (slot >= 0) {
        std::lock_guard<SharedSpinLock> guard(record().lock);
        record().views[slot] = {0, 0};
    }
}

void setLiveViewChild(EditorView* view, void* child)
{
    int slot = -1;
    {
        LocalViews& local = localViews();
        std::lock_guard<std::mutex> guard(local.lock);
        for (int i = 0; i < local.count; ++i) {
            if (local.views[i].first == view)
                slot = local.views[i].second;
        }
    }
    if (slot >= 0) {
        std::lock_guard<SharedSpinLock> guard(record().lock);
        record().views[slot].child = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(child));
    }
}

int liveViewCount()
{
    Record& r = record();
    std::lock_guard<SharedSpinLock> guard(r.lock);
    return static_cast<int>(
        std::count_if(r.views, r.views + kViewSlots, [](const ViewSlot& slot) { return slot.sequence != 0; }));
}

void* newestChildWindow()
{
    Record& r = record();
    std::lock_guard<SharedSpinLock> guard(r.lock);
    const int newest = newestSlot(r);
    return newest < 0 ? nullptr : reinterpret_cast<void*>(static_cast<std::uintptr_t>(r.views[newest].child));
}

EditorView* newestLiveView()
{
    LocalViews& local = localViews();
    std::lock_guard<std::mutex> guard(local.lock);
    // Newest first; one whose last reference is going is passed over.
    for (int i = local.count - 1; i >= 0; --i) {
        if (local.views[i].first->tryAddRef())
            return local.views[i].first;
    }
    return nullptr;
}

void requestViewEdit(unsigned id, double value)
{
    std::lock_guard<SharedSpinLock> guard(record().lock);
    record().editWaiting = 1;
    record().editId = id;
    record().editValue = value;
}

bool takeViewEdit(unsigned& id, double& value)
{
    std::lock_guard<SharedSpinLock> guard(record().lock);
    if (!record().editWaiting)
        return false;
    record().editWaiting = 0;
    id = record().editId;
    value = record().editValue;
    return true;
}

bool editorRecordShared()
{
    return storage().shared != nullptr;
}

void countViewTick()
{
    ++record().ticks;
}

int viewTicks()
{
    return record().ticks.load();
}

int askNewestView(ViewCall kind, int width, int height)
{
    void* const child = newestChildWindow();
    Record& r = record();
    {
        std::lock_guard<SharedSpinLock> guard(r.lock);
        if (newestSlot(r) < 0)
            return -1;
        r.callKind = kind;
        r.callWidth = width;
        r.callHeight = height;
        r.callState = CallState::asked;
    }
    wakeChildWindow(child);
    // Generous: a sanitizer build on a busy machine serves its run loop late.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard<SharedSpinLock> guard(r.lock);
            if (r.callState == CallState::answered) {
                r.callState = CallState::none;
                return r.callResult;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard<SharedSpinLock> guard(r.lock);
    r.callState = CallState::none;
    return -1;
}

void serviceViewEdits()
{
    EditorView* view = newestLiveView();
    if (!view)
        return;
    view->makeWaitingEdit();
    Record& r = record();
    ViewCall kind = ViewCall::resize;
    int width = 0;
    int height = 0;
    {
        std::lock_guard<SharedSpinLock> guard(r.lock);
        if (r.callState == CallState::asked) {
            r.callState = CallState::taken;
            kind = r.callKind;
            width = r.callWidth;
            height = r.callHeight;
        } else {
            kind = ViewCall::none;
        }
    }
    if (kind != ViewCall::none) {
        const int result = kind == ViewCall::resize ? view->requestResize(width, height) : view->frameAnswersItself();
        std::lock_guard<SharedSpinLock> guard(r.lock);
        if (r.callState == CallState::taken) {
            r.callResult = result;
            r.callState = CallState::answered;
        }
    }
    view->release();
}

void actOnFirstTick()
{
    const char* action = std::getenv("TALVEN_EDITOR_EFFECT_FIRST_TICK");
    if (!action)
        return;
    if (std::strcmp(action, "edit") == 0) {
        requestViewEdit(0, 0.25);
        serviceViewEdits();
    } else if (std::strcmp(action, "resize") == 0) {
        if (EditorView* view = newestLiveView()) {
            Steinberg::ViewRect size;
            if (view->getSize(&size) == Steinberg::kResultOk)
                view->requestResize(size.getWidth() + 50, size.getHeight() + 20);
            view->release();
        }
    }
}

} // namespace talven::testplugin
