#include "EntryList.h"

#include "Settings.h"
#include "WindowMap.h"
#include "resource.h"

#include <algorithm>

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

// Redrawing only once the rows are in makes big archives appear quickly;
// rows are appended from the last record on, which puts it on top.
void EntryList::setRows(std::vector<EntryRecord> records, const std::vector<int>& images)
{
    ::SendMessageA(window_, WM_SETREDRAW, FALSE, 0);
    clear();
    records_ = std::move(records);
    ListView_SetItemCount(window_, static_cast<int>(records_.size()));
    for (size_t record = records_.size(); record-- > 0;)
        insertRow(record, images[record]);
    ::SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(window_, nullptr, TRUE);
}

void EntryList::insertRow(size_t record, int image)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(records_.size() - 1 - record);
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.iImage = image;
    item.lParam = static_cast<LPARAM>(record);
    ::SendMessageA(window_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void EntryList::fillDisplayInfo(NMLVDISPINFOA& info) const
{
    const auto record = static_cast<size_t>(info.item.lParam);
    if (!(info.item.mask & LVIF_TEXT) || record >= records_.size() || info.item.cchTextMax <= 0)
        return;
    const CString text = columnText(records_[record], info.item.iSubItem);
    const size_t length = std::min(text.size(), static_cast<size_t>(info.item.cchTextMax - 1));
    text.copy(info.item.pszText, length);
    info.item.pszText[length] = '\0';
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

bool EntryList::selectedEntries(std::vector<int32_t>& indices) const
{
    indices.clear();
    for (int row = ListView_GetNextItem(window_, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(window_, row, LVNI_SELECTED))
        indices.push_back(entryIndexOfRow(row));
    if (!indices.empty())
        return true;
    const int rows = ListView_GetItemCount(window_);
    for (int row = 0; row < rows; ++row)
        indices.push_back(entryIndexOfRow(row));
    return false;
}

int EntryList::entryIndexOfRow(int row) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ::SendMessageA(window_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return records_[static_cast<size_t>(item.lParam)].entryIndex;
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
