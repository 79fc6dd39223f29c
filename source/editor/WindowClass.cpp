#include "editor/WindowClass.h"

#include <mutex>
#include <vector>

namespace talven {

const wchar_t kEditorWindowClassName[] = L"VSTSDK WindowClass";

namespace {

// The module instances this library registered the class for; unregistered
// at unload. Unregistering fails while windows of the class still exist,
// which leaves the class as it is.
class ClassRegistrations {
public:
    ClassRegistrations() = default;
    ClassRegistrations(const ClassRegistrations&) = delete;
    ClassRegistrations& operator=(const ClassRegistrations&) = delete;

    ~ClassRegistrations()
    {
        for (HINSTANCE instance : instances_)
            UnregisterClassW(kEditorWindowClassName, instance);
    }

    void remember(HINSTANCE instance)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        instances_.push_back(instance);
    }

private:
    std::mutex mutex_;
    std::vector<HINSTANCE> instances_;
};

ClassRegistrations& registrations()
{
    static ClassRegistrations instance;
    return instance;
}

} // namespace

bool registerEditorWindowClass(HINSTANCE moduleInstance, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = moduleInstance;
    // The system's arrow: asking a module instance for IDC_ARROW finds no
    // such resource in it and would leave the class without a cursor.
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.lpszClassName = kEditorWindowClassName;
    if (RegisterClassExW(&windowClass)) {
        registrations().remember(moduleInstance);
        return true;
    }
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    HINSTANCE owner = moduleInstance ? moduleInstance : GetModuleHandleW(nullptr);
    if (GetClassInfoExW(owner, kEditorWindowClassName, &existing))
        return existing.lpfnWndProc == procedure;
    return true; // the failure is not one we can explain; creation will tell
}

} // namespace talven
