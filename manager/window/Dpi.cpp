#include "Dpi.h"

#include <commctrl.h>
#include <commoncontrols.h>
#include <shellapi.h>

#include <cstdlib>
#include <initializer_list>

namespace {
// Looked up at run time: a program that imported them would not start on
// the Windows before 10 version 1607 that lack them.
template <typename Function>
Function user32(const char* name)
{
    static const HMODULE module = ::GetModuleHandleA("user32.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// A font setting of the system (a LOGFONTW or a NONCLIENTMETRICSW) at dpi.
// Without the per-DPI call the setting is the system DPI's, and heights
// are scaled from there by the caller.
template <typename Setting>
bool readSetting(UINT action, Setting& setting, UINT dpi)
{
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = user32<ForDpi>("SystemParametersInfoForDpi");
    if (forDpi)
        return forDpi(action, sizeof setting, &setting, 0, dpi) != FALSE;
    return ::SystemParametersInfoW(action, sizeof setting, &setting, 0) != FALSE;
}

bool hasPerDpiSettings()
{
    return user32<void*>("SystemParametersInfoForDpi") != nullptr;
}

dpi::Font fontAt(LOGFONTW font, UINT dpi)
{
    if (!hasPerDpiSettings())
        font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(dpi::ofSystem()));
    return dpi::Font(::CreateFontIndirectW(&font));
}

// The list whose icons are nearest to the wanted size, a larger one first.
HIMAGELIST nearestSystemList(int wanted)
{
    HIMAGELIST best = nullptr;
    int bestSize = 0;
    for (int kind : {SHIL_SMALL, SHIL_LARGE, SHIL_EXTRALARGE}) {
        void* list = nullptr;
        int width = 0;
        int height = 0;
        if (FAILED(::SHGetImageList(kind, __uuidof(IImageList), &list)) ||
            !::ImageList_GetIconSize(static_cast<HIMAGELIST>(list), &width, &height))
            continue;
        const bool better = !best || std::abs(width - wanted) < std::abs(bestSize - wanted) ||
                            (std::abs(width - wanted) == std::abs(bestSize - wanted) && width > bestSize);
        if (better) {
            best = static_cast<HIMAGELIST>(list);
            bestSize = width;
        }
    }
    return best;
}
} // namespace

namespace dpi {
UINT ofSystem()
{
    using GetDpiForSystem = UINT(WINAPI*)();
    static const auto forSystem = user32<GetDpiForSystem>("GetDpiForSystem");
    if (forSystem)
        return forSystem();
    HDC screen = ::GetDC(nullptr);
    const int pixels = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return pixels > 0 ? static_cast<UINT>(pixels) : kBase;
}

UINT ofWindow(HWND window)
{
    using GetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = user32<GetDpiForWindow>("GetDpiForWindow");
    const UINT dpi = forWindow && window ? forWindow(window) : 0;
    return dpi ? dpi : ofSystem();
}

int scale(int value, UINT dpi)
{
    return ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBase));
}

int unscale(int value, UINT dpi)
{
    return ::MulDiv(value, static_cast<int>(kBase), static_cast<int>(dpi));
}

int systemMetric(int index, UINT dpi)
{
    using ForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = user32<ForDpi>("GetSystemMetricsForDpi");
    return forDpi ? forDpi(index, dpi) : ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi),
                                                   static_cast<int>(ofSystem()));
}
} // namespace dpi

namespace dpi {
Font iconTitleFont(UINT dpi)
{
    LOGFONTW font = {};
    if (!readSetting(SPI_GETICONTITLELOGFONT, font, dpi))
        return Font();
    return fontAt(font, dpi);
}

Font statusFont(UINT dpi)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (!readSetting(SPI_GETNONCLIENTMETRICS, metrics, dpi))
        return Font();
    return fontAt(metrics.lfStatusFont, dpi);
}

Icon loadIcon(HINSTANCE instance, int resource, int metric, UINT dpi)
{
    const int size = systemMetric(metric, dpi);
    return Icon(static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(resource), IMAGE_ICON, size, size, 0)));
}

HIMAGELIST systemSmallIcons(UINT dpi)
{
    // Asking for an icon fills the system's lists.
    SHFILEINFOA info = {};
    auto* small = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    HIMAGELIST nearest = nearestSystemList(systemMetric(SM_CXSMICON, dpi));
    return nearest ? nearest : small;
}
} // namespace dpi
