#include "editor/MonitorScale.h"

#include "platform/DynamicLibrary.h"

#include <string>

namespace talven {
namespace {

// GetDpiForMonitor; MONITOR_DPI_TYPE is passed as its int value.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI

// Reached at run time: Shcore.dll exists only from Windows 8.1 on.
class ShcoreLibrary {
public:
    ShcoreLibrary()
    {
        std::string ignored;
        module_ = loadLibrary("Shcore.dll", ignored);
        getDpiForMonitor_ =
            reinterpret_cast<GetDpiForMonitorFunction>(librarySymbol(module_, "GetDpiForMonitor"));
    }
    ~ShcoreLibrary() { freeLibrary(module_); }
    ShcoreLibrary(const ShcoreLibrary&) = delete;
    ShcoreLibrary& operator=(const ShcoreLibrary&) = delete;

    GetDpiForMonitorFunction getDpiForMonitor() const { return getDpiForMonitor_; }

private:
    LibraryHandle module_ = nullptr;
    GetDpiForMonitorFunction getDpiForMonitor_ = nullptr;
};

const ShcoreLibrary& shcore()
{
    static const ShcoreLibrary library;
    return library;
}

} // namespace

float monitorScaleFactor(HWND hwnd)
{
    GetDpiForMonitorFunction getDpiForMonitor = shcore().getDpiForMonitor();
    if (!getDpiForMonitor)
        return 1.0f;
    UINT dpiX = 0;
    UINT dpiY = 0;
    HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    if (FAILED(getDpiForMonitor(monitor, kEffectiveDpi, &dpiX, &dpiY)) || dpiX == 0)
        return 1.0f;
    return static_cast<float>(dpiX / 96.0);
}

} // namespace talven
