#include "EntryList.h"

#include "Settings.h"
#include "WindowMap.h"
#include "resource.h"

namespace {
constexpr const char* kColumnTitles[kColumnCount] = {
    "Name", "Compressed Size", "UnCompressed Size", "Ratio", "Attributes", "CRC", "Path"};
constexpr int kDefaultColumnWidth = 100;
} // namespace

bool EntryList::create(HWND parent, HINSTANCE instance, HIMAGELIST smallIcons)
{
    parent_ = parent;
    instance_ = instance;
    window_ = ::CreateWindowExA(0, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS |
                                    LVS_SHAREIMAGELISTS | LVS_EDITLABELS,
                                0, 0, 100, 100, parent, reinterpret_cast<HMENU>(IDC_ENTRYLIST), instance, nullptr);
    if (!window_)
        return false;
    ListView_SetImageList(window_, smallIcons, LVSIL_SMALL);
    WindowMap<EntryList>::bind(window_, this);
    listProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc)));
    insertColumns();
    return true;
}

// A window that outlives its object gets the list control's own procedure back.
EntryList::~EntryList()
{
    if (!window_)
        return;
    ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listProc_));
    WindowMap<EntryList>::unbind(window_);
}

void EntryList::insertColumns()
{
    for (int column = 0; column < kColumnCount; ++column) {
        LVCOLUMNA format = {};
        format.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        format.fmt = LVCFMT_LEFT;
        format.cx = settings::readSettingInt(settings::kPrefs, settings::columnWidthKey(column), kDefaultColumnWidth);
        format.pszText = const_cast<char*>(kColumnTitles[column]);
        format.iSubItem = column;
        ::SendMessageA(window_, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&format));
    }
}

void EntryList::clear()
{
    ListView_DeleteAllItems(window_);
    records_.clear();
}

void EntryList::addRow(const EntryRecord& record, int image)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = const_cast<char*>(record.name.c_str());
    item.iImage = image;
    item.lParam = static_cast<LPARAM>(records_.size());
    const int row = static_cast<int>(::SendMessageA(window_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    records_.push_back(record);
    for (int column = kColumnCompressed; column < kColumnCount; ++column)
        setColumnText(row, column, columnText(record, column));
}

void EntryList::setColumnText(int row, int column, const CString& text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    ::SendMessageA(window_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void EntryList::sortBy(int column)
{
    sortDirection_ = -sortDirection_;
    sortColumn_ = column;
    ListView_SortItems(window_, compareRows, reinterpret_cast<LPARAM>(this));
}

int CALLBACK EntryList::compareRows(LPARAM first, LPARAM second, LPARAM list)
{
    const auto* self = reinterpret_cast<const EntryList*>(list);
    return self->sortDirection_ * compareEntryRecords(self->records_[static_cast<size_t>(first)],
                                                      self->records_[static_cast<size_t>(second)],
                                                      self->sortColumn_);
}

int EntryList::selectedCount() const
{
    return static_cast<int>(ListView_GetSelectedCount(window_));
}

std::array<int, kColumnCount> EntryList::columnWidths() const
{
    std::array<int, kColumnCount> widths{};
    for (int column = 0; column < kColumnCount; ++column)
        widths[column] = ListView_GetColumnWidth(window_, column);
    return widths;
}

void EntryList::layout(int x, int y, int width, int height)
{
    ::MoveWindow(window_, x, y, width, height, TRUE);
}

LRESULT CALLBACK EntryList::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    EntryList* list = WindowMap<EntryList>::find(window);
    if (!list)
        return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WindowMap<EntryList>::unbind(window);
        list->window_ = nullptr;
        return ::CallWindowProcA(list->listProc_, window, message, wParam, lParam);
    }
    return list->handleMessage(message, wParam, lParam);
}

LRESULT EntryList::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CONTEXTMENU:
        showContextMenu(lParam);
        return 0;
    case WM_COMMAND:
        // Accelerators reach the window that had the key, which is often this list.
        return ::SendMessageA(parent_, WM_COMMAND, wParam, lParam);
    default:
        return ::CallWindowProcA(listProc_, window_, message, wParam, lParam);
    }
}

void EntryList::showContextMenu(LPARAM position)
{
    POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (position == -1) {
        point = {0, 0};
        ::ClientToScreen(window_, &point);
    }
    HMENU menus = ::LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_CONTEXTMENU));
    ::TrackPopupMenu(::GetSubMenu(menus, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, parent_,
                     nullptr);
    ::DestroyMenu(menus);
}
