#include "editor/WindowTheme.h"

#include <dwmapi.h>

#include <memory>
#include <type_traits>

namespace talven {
namespace {

// DWMWA_USE_IMMERSIVE_DARK_MODE; older SDK headers do not name it.
constexpr DWORD kUseImmersiveDarkMode = 20;

struct RegistryKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegistryKeyCloser>;

} // namespace

bool userPrefersDarkApps()
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                      0, KEY_READ, &opened)
        != ERROR_SUCCESS)
        return false;
    RegistryKey key(opened);
    DWORD value = 1;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key.get(), L"AppsUseLightTheme", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size)
        != ERROR_SUCCESS)
        return false;
    return size == sizeof(value) && value == 0;
}

void applyTitleBarTheme(HWND hwnd)
{
    BOOL dark = userPrefersDarkApps() ? TRUE : FALSE;
    // Systems without the attribute refuse it and keep their default bar.
    DwmSetWindowAttribute(hwnd, kUseImmersiveDarkMode, &dark, sizeof(dark));
}

} // namespace talven
