#include "MainWindow.h"

#include "Settings.h"
#include "WindowMap.h"
#include "resource.h"

#include <shellapi.h>

#include <cstring>

namespace {
constexpr const char* kPlacementKeys[] = {"MainWndL", "MainWndT", "MainWndW", "MainWndH"};

int windowHeight(HWND window)
{
    RECT rect;
    ::GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}
} // namespace

bool MainWindow::registerClass(HINSTANCE instance)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    // Each in its own size; the window takes those of its DPI once it exists.
    windowClass.hIcon = static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_PACKROOK), IMAGE_ICON, 0, 0,
                                                        LR_DEFAULTSIZE | LR_SHARED));
    windowClass.hIconSm =
        static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_PACKROOK), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExA(&windowClass) != 0;
}

MainWindow::MainWindow(HINSTANCE instance)
    : instance_(instance), archive_(this)
{
}

MainWindow::~MainWindow()
{
    if (window_)
        WindowMap<MainWindow>::unbind(window_);
}

bool MainWindow::create(bool visible)
{
    const DWORD style = WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0);
    return ::CreateWindowExA(0, kClassName, "Packrook", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, instance_, this) != nullptr;
}

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        WindowMap<MainWindow>::bind(window, self);
    }
    MainWindow* self = WindowMap<MainWindow>::find(window);
    LRESULT answer = 0;
    if (self && !self->handleMessage(message, wParam, lParam, answer))
        return answer;
    if (message == WM_NCDESTROY && self) {
        WindowMap<MainWindow>::unbind(window);
        self->window_ = nullptr;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

bool MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& answer)
{
    switch (message) {
    case WM_CREATE:
        onCreate();
        return true;
    case WM_SIZE:
        onSize();
        return true;
    case WM_DPICHANGED:
        onDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return false;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return true;
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<NMHDR*>(lParam), answer);
    case WM_MENUSELECT:
        onMenuSelect(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_CLOSE:
        onClose();
        return true;
    case WM_DROPFILES:
        onDropFiles(reinterpret_cast<HDROP>(wParam));
        return true;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return true;
    default:
        return true;
    }
}

void MainWindow::onCreate()
{
    createStatusBar();
    entryList_.create(window_, instance_);
    applyDpi(dpi::ofWindow(window_));
    ::OleInitialize(nullptr);
    ::DragAcceptFiles(entryList_.handle(), TRUE);
    restorePlacement();
    updateRecentFiles(CString());
}

void MainWindow::createStatusBar()
{
    statusBar_ = ::CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "Started", window_, IDC_STATUSBAR);
}

void MainWindow::restorePlacement()
{
    int placement[4];
    for (int i = 0; i < 4; ++i) {
        placement[i] = settings::readSettingInt(settings::kPrefs, kPlacementKeys[i], -1);
        if (placement[i] == -1)
            return;
    }
    // The size is kept for 96 DPI, so the window keeps its size on any display.
    ::SetWindowPos(window_, nullptr, placement[0], placement[1], dpi::scale(placement[2], dpi_),
                   dpi::scale(placement[3], dpi_), SWP_NOZORDER);
}

void MainWindow::onSize()
{
    // The bar takes its place from the window, whatever the message says.
    ::SendMessageA(statusBar_, WM_SIZE, 0, 0);
    // Keeps the toolbar as wide as the window after it has been resized.
    ::SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
    RECT client;
    RECT status;
    ::GetClientRect(window_, &client);
    ::GetClientRect(statusBar_, &status);
    const int toolbarHeight = windowHeight(toolbar_);
    entryList_.layout(0, toolbarHeight - 2, client.right, client.bottom - status.bottom - toolbarHeight + 2);
}

bool MainWindow::onNotify(NMHDR& header, LRESULT& answer)
{
    if (header.code == TTN_GETDISPINFOA || header.code == TTN_GETDISPINFOW)
        return onToolTipText(header);
    if (header.idFrom != IDC_ENTRYLIST)
        return true;
    if (header.code == LVN_ODFINDITEMA || header.code == LVN_ODFINDITEMW) {
        answer = header.code == LVN_ODFINDITEMA ? entryList_.findRow(reinterpret_cast<const NMLVFINDITEMA&>(header))
                                                : entryList_.findRow(reinterpret_cast<const NMLVFINDITEMW&>(header));
        return false;
    }
    onListNotify(header);
    return true;
}

bool MainWindow::onToolTipText(NMHDR& header)
{
    const auto command = static_cast<UINT>(header.idFrom);
    if (header.code == TTN_GETDISPINFOA) {
        auto& info = reinterpret_cast<NMTTDISPINFOA&>(header);
        ::LoadStringA(instance_, command, info.szText, sizeof info.szText);
        info.lpszText = info.szText;
    } else {
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        ::LoadStringW(instance_, command, info.szText, sizeof info.szText / sizeof info.szText[0]);
        info.lpszText = info.szText;
    }
    return false;
}

void MainWindow::onListNotify(NMHDR& header)
{
    switch (header.code) {
    case LVN_COLUMNCLICK:
        entryList_.sortBy(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        updateCommandStates();
        break;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        // A sort updates the states once it is done.
        if (!entryList_.restoringStates())
            updateCommandStates();
        break;
    case LVN_GETDISPINFOA:
        entryList_.fillDisplayInfo(reinterpret_cast<NMLVDISPINFOA&>(header));
        break;
    case LVN_BEGINDRAG:
        dragOut();
        break;
    case NM_DBLCLK:
        openEntryWithAssociation();
        break;
    default:
        break;
    }
}

void MainWindow::onMenuSelect(int item, UINT flags)
{
    char help[128] = {};
    if ((flags & MF_POPUP) || ::LoadStringA(instance_, static_cast<UINT>(item), help, sizeof help) == 0)
        std::strcpy(help, "Ready");
    ::SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(help));
}

void MainWindow::onClose()
{
    if (!::IsIconic(window_))
        savePlacement();
}

void MainWindow::savePlacement()
{
    RECT rect;
    ::GetWindowRect(window_, &rect);
    const long placement[] = {rect.left, rect.top, dpi::unscale(rect.right - rect.left, dpi_),
                              dpi::unscale(rect.bottom - rect.top, dpi_)};
    for (int i = 0; i < 4; ++i)
        settings::writeSettingInt(settings::kPrefs, kPlacementKeys[i], placement[i]);
    const auto widths = entryList_.columnWidths();
    for (int column = 0; column < kColumnCount; ++column)
        settings::writeSettingInt(settings::kPrefs, settings::columnWidthKey(column), widths[column]);
}
