// The parts of the main window drawn for its DPI: the toolbar and its
// pictures, the fonts of the bars and the list, the window's icons. All are
// made anew when the window moves to a monitor of another DPI.
#include "MainWindow.h"

#include "resource.h"

#include <utility>
#include <vector>

namespace {
constexpr int kToolbarImages = 6;
constexpr int kToolbarImageSize = 32;
// The strips' background, which the toolbar leaves transparent.
constexpr COLORREF kToolbarBackground = RGB(192, 192, 192);

struct ToolbarStrip {
    int size;
    int resource;
};
constexpr ToolbarStrip kToolbarStrips[] = {
    {32, IDB_TOOLBAR}, {40, IDB_TOOLBAR40}, {48, IDB_TOOLBAR48}, {64, IDB_TOOLBAR64}};

struct ToolbarButton {
    int image;
    int command;
    const char* caption;
};
constexpr ToolbarButton kToolbarButtons[] = {
    {0, ID_FILE_OPEN, "Open"},          {1, ID_FILE_NEW, "Create"},       {-1, 0, nullptr},
    {2, ID_ACTIONS_ADD, "Add"},         {3, ID_ACTIONS_DELETE, "Remove"}, {-1, 0, nullptr},
    {4, ID_ACTIONS_EXTRACT, "Extract"}, {5, ID_FILE_CONVERT, "Convert"},
};

// The strip drawn for the size, else the next larger one (the largest
// beyond them) shrunk to it pixel by pixel, which stays crisp.
dpi::ImageList toolbarImages(HINSTANCE instance, UINT dpi)
{
    const int size = dpi::scale(kToolbarImageSize, dpi);
    const ToolbarStrip* strip = &kToolbarStrips[0];
    for (const ToolbarStrip& candidate : kToolbarStrips) {
        strip = &candidate;
        if (candidate.size >= size)
            break;
    }
    auto* bitmap = static_cast<HBITMAP>(::LoadImageA(instance, MAKEINTRESOURCEA(strip->resource), IMAGE_BITMAP,
                                                     size * kToolbarImages, size, LR_CREATEDIBSECTION));
    dpi::ImageList images(::ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, kToolbarImages, 0));
    ::ImageList_AddMasked(images.get(), bitmap, kToolbarBackground);
    ::DeleteObject(bitmap);
    return images;
}
} // namespace

void MainWindow::createToolbar()
{
    toolbar_ = ::CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP |
                                     CCS_NODIVIDER,
                                 0, 0, 0, 0, window_, reinterpret_cast<HMENU>(IDC_TOOLBAR), instance_, nullptr);
    ::SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageA(toolbar_, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), FALSE);
    toolbarImages_ = toolbarImages(instance_, dpi_);
    ::SendMessageA(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbarImages_.get()));
    std::vector<TBBUTTON> buttons;
    for (const ToolbarButton& button : kToolbarButtons) {
        TBBUTTON entry = {};
        entry.iBitmap = button.image < 0 ? 0 : button.image;
        entry.idCommand = button.command;
        entry.fsState = TBSTATE_ENABLED;
        entry.fsStyle = button.image < 0 ? BTNS_SEP : BTNS_BUTTON;
        buttons.push_back(entry);
    }
    ::SendMessageA(toolbar_, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    // The pool string is as wide as the longest caption, which sizes the buttons.
    ::SendMessageA(toolbar_, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>("Open     \0"));
    for (const ToolbarButton& button : kToolbarButtons) {
        if (!button.caption)
            continue;
        TBBUTTONINFOA info = {};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_TEXT;
        info.pszText = const_cast<char*>(button.caption);
        ::SendMessageA(toolbar_, TB_SETBUTTONINFOA, button.command, reinterpret_cast<LPARAM>(&info));
    }
    ::SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
    // Above the list, whose top edge it covers, also when made anew for another DPI.
    ::SetWindowPos(toolbar_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainWindow::applyDpi(UINT dpi)
{
    dpi_ = dpi;
    listFont_ = dpi::iconTitleFont(dpi);
    statusFont_ = dpi::statusFont(dpi);
    if (toolbar_)
        ::DestroyWindow(toolbar_);
    createToolbar();
    entryList_.setDpi(dpi, listFont_.get());
    ::SendMessageA(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(statusFont_.get()), FALSE);
    setWindowIcons();
}

void MainWindow::setWindowIcons()
{
    // The window holds the old icons until it has the new ones.
    dpi::Icon big = dpi::loadIcon(instance_, IDI_PACKROOK, SM_CXICON, dpi_);
    dpi::Icon small = dpi::loadIcon(instance_, IDI_PACKROOK, SM_CXSMICON, dpi_);
    ::SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    ::SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);
}

// The window goes where the system suggests, sized for the new DPI.
void MainWindow::onDpiChanged(UINT dpi, const RECT& suggested)
{
    applyDpi(dpi);
    updateCommandStates();
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    onSize();
}
