#pragma once
// The DPI each window is drawn for and what follows from it: sizes given
// for 96 DPI scaled to it, and the fonts, icons and system sizes of that
// DPI. Windows before 10 version 1607 have no per-window DPI; there every
// window has the system's.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <type_traits>

namespace dpi {
constexpr UINT kBase = 96;

UINT ofSystem();
UINT ofWindow(HWND window);
// A size meant for 96 DPI at dpi, and back.
int scale(int value, UINT dpi);
int unscale(int value, UINT dpi);
int systemMetric(int index, UINT dpi);

struct FontDeleter {
    void operator()(HFONT font) const { ::DeleteObject(font); }
};
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;
// The system's font for icon titles (lists, toolbars) and for status bars.
Font iconTitleFont(UINT dpi);
Font statusFont(UINT dpi);

struct IconDeleter {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;
// The icon resource drawn at the size of the metric (SM_CXICON or
// SM_CXSMICON) at dpi, taken from the size of that name in the resource.
Icon loadIcon(HINSTANCE instance, int resource, int metric, UINT dpi);

struct ImageListDeleter {
    void operator()(HIMAGELIST list) const { ::ImageList_Destroy(list); }
};
using ImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDeleter>;

// The system's list of file icons whose pictures come nearest to the small
// icon size at dpi; every list of the system has the same indices.
HIMAGELIST systemSmallIcons(UINT dpi);
} // namespace dpi
