#include "editor/BlankIcon.h"

#include <memory>
#include <type_traits>

namespace talven {
namespace {

// The window property that carries the icon's ownership.
const wchar_t kIconProperty[] = L"Talven.EditorIcon";

struct GdiObjectDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

} // namespace

void attachBlankIcon(HWND hwnd)
{
    Bitmap bitmap(CreateBitmap(32, 32, 1, 32, nullptr));
    if (!bitmap)
        return;
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = bitmap.get();
    info.hbmColor = bitmap.get();
    // The icon keeps copies of the bitmaps; ours goes when this returns.
    Icon icon(CreateIconIndirect(&info));
    if (!icon || !SetPropW(hwnd, kIconProperty, icon.get()))
        return;
    HICON owned = icon.release();
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(owned));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(owned));
}

void releaseBlankIcon(HWND hwnd)
{
    Icon icon(static_cast<HICON>(RemovePropW(hwnd, kIconProperty)));
}

} // namespace talven
