#include "EntryList.h"

#include "Dpi.h"
#include "Settings.h"
#include "WindowMap.h"
#include "resource.h"

#include <algorithm>

namespace {
constexpr const char* kColumnTitles[kColumnCount] = {
    "Name", "Compressed Size", "UnCompressed Size", "Ratio", "Attributes", "CRC", "Path"};
constexpr int kDefaultColumnWidth = 100;
} // namespace

bool EntryList::create(HWND parent, HINSTANCE instance)
{
    parent_ = parent;
    instance_ = instance;
    window_ = ::CreateWindowExA(0, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS |
                                    LVS_SHAREIMAGELISTS | LVS_EDITLABELS | LVS_OWNERDATA,
                                0, 0, 100, 100, parent, reinterpret_cast<HMENU>(IDC_ENTRYLIST), instance, nullptr);
    if (!window_)
        return false;
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

void EntryList::setDpi(UINT dpi, HFONT font)
{
    ListView_SetImageList(window_, dpi::systemSmallIcons(dpi), LVSIL_SMALL);
    ::SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (int column = 0; column < kColumnCount; ++column)
        ListView_SetColumnWidth(window_, column,
                                ::MulDiv(ListView_GetColumnWidth(window_, column), static_cast<int>(dpi),
                                         static_cast<int>(dpi_)));
    dpi_ = dpi;
}

void EntryList::clear()
{
    ListView_DeleteAllItems(window_);
    records_.clear();
    images_.clear();
    rows_.clear();
    sortKeys_.clear();
    keyColumn_ = -1;
}

void EntryList::setRows(std::vector<EntryRecord> records, std::vector<int> images)
{
    clear();
    records_ = std::move(records);
    images_ = std::move(images);
    rows_.resize(records_.size());
    for (size_t row = 0; row < rows_.size(); ++row)
        rows_[row] = static_cast<uint32_t>(rows_.size() - 1 - row);
    ListView_SetItemCountEx(window_, static_cast<int>(rows_.size()), 0);
}

void EntryList::fillDisplayInfo(NMLVDISPINFOA& info) const
{
    const auto row = static_cast<size_t>(info.item.iItem);
    if (row >= rows_.size())
        return;
    const uint32_t record = rows_[row];
    if (info.item.mask & LVIF_IMAGE)
        info.item.iImage = images_[record];
    if (info.item.mask & LVIF_PARAM)
        info.item.lParam = static_cast<LPARAM>(record);
    if ((info.item.mask & LVIF_TEXT) && info.item.cchTextMax > 0) {
        const CString text = columnText(records_[record], info.item.iSubItem);
        const size_t length = std::min(text.size(), static_cast<size_t>(info.item.cchTextMax - 1));
        text.copy(info.item.pszText, length);
        info.item.pszText[length] = '\0';
    }
}

int EntryList::findRow(const NMLVFINDITEMA& search) const
{
    if (!(search.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !search.lvfi.psz)
        return -1;
    return findRow(search.iStart, search.lvfi.flags, search.lvfi.psz);
}

int EntryList::findRow(const NMLVFINDITEMW& search) const
{
    if (!(search.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !search.lvfi.psz)
        return -1;
    char typed[MAX_PATH] = {};
    ::WideCharToMultiByte(CP_ACP, 0, search.lvfi.psz, -1, typed, sizeof typed - 1, nullptr, nullptr);
    return findRow(search.iStart, search.lvfi.flags, typed);
}

// From the start row on, going round to the top when asked to.
int EntryList::findRow(int start, UINT flags, const CString& typed) const
{
    const size_t count = rows_.size();
    if (count == 0)
        return -1;
    const size_t first = start < 0 ? 0 : static_cast<size_t>(start) % count;
    const size_t tries = (flags & LVFI_WRAP) ? count : count - first;
    for (size_t step = 0; step < tries; ++step) {
        const size_t row = (first + step) % count;
        if (nameStartsWith(row, flags, typed))
            return static_cast<int>(row);
    }
    return -1;
}

bool EntryList::nameStartsWith(size_t row, UINT flags, const CString& typed) const
{
    const CString& name = records_[rows_[row]].name;
    const bool whole = !(flags & LVFI_PARTIAL);
    if (typed.size() > name.size() || (whole && typed.size() != name.size()))
        return false;
    return ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), static_cast<int>(typed.size()),
                            typed.c_str(), static_cast<int>(typed.size())) == CSTR_EQUAL;
}

// Rows that compare equal keep their order.
void EntryList::sortBy(int column)
{
    sortDirection_ = -sortDirection_;
    sortColumn_ = column;
    if (isTextColumn(column))
        makeSortKeys(column);
    const std::vector<uint32_t> selected = rowsInState(LVIS_SELECTED);
    const std::vector<uint32_t> focused = rowsInState(LVIS_FOCUSED);
    std::stable_sort(rows_.begin(), rows_.end(),
                     [this](uint32_t first, uint32_t second) { return rowBefore(first, second); });
    restoreStates(selected, focused);
    ::InvalidateRect(window_, nullptr, TRUE);
}

// A locale comparison per pair of rows is what makes sorting a big list
// slow; a key per row is made once and compared as bytes.
void EntryList::makeSortKeys(int column)
{
    if (keyColumn_ == column)
        return;
    sortKeys_.clear();
    sortKeys_.reserve(records_.size());
    for (const EntryRecord& record : records_)
        sortKeys_.push_back(sortKey(record, column));
    keyColumn_ = column;
}

bool EntryList::rowBefore(uint32_t first, uint32_t second) const
{
    const int order = isTextColumn(sortColumn_)
                          ? compareSortKeys(sortKeys_[first], sortKeys_[second])
                          : compareEntryRecords(records_[first], records_[second], sortColumn_);
    return sortDirection_ * order < 0;
}

// The records of the rows that are in the state (selected or focused).
std::vector<uint32_t> EntryList::rowsInState(UINT state) const
{
    std::vector<uint32_t> records;
    const UINT flag = state == LVIS_FOCUSED ? LVNI_FOCUSED : LVNI_SELECTED;
    for (int row = ListView_GetNextItem(window_, -1, flag); row >= 0; row = ListView_GetNextItem(window_, row, flag))
        records.push_back(rows_[static_cast<size_t>(row)]);
    return records;
}

// The control keeps states by row; after sorting they go to the rows that
// now show the same records. Changing every row at once is cheap, one row at
// a time is not (each one is reported and repainted), so the rows of the
// rarer state are set one by one, with the list's painting held back.
void EntryList::restoreStates(const std::vector<uint32_t>& selected, const std::vector<uint32_t>& focused)
{
    std::vector<int> rowOf(records_.size());
    for (size_t row = 0; row < rows_.size(); ++row)
        rowOf[rows_[row]] = static_cast<int>(row);
    std::vector<bool> rowSelected(rows_.size(), false);
    for (uint32_t record : selected)
        rowSelected[static_cast<size_t>(rowOf[record])] = true;
    const bool mostSelected = selected.size() * 2 > rows_.size();
    const UINT mostState = mostSelected ? LVIS_SELECTED : 0;
    restoringStates_ = true;
    ::SendMessageA(window_, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(window_, -1, mostState, LVIS_SELECTED | LVIS_FOCUSED);
    for (size_t row = 0; row < rows_.size(); ++row)
        if (rowSelected[row] != mostSelected)
            ListView_SetItemState(window_, static_cast<int>(row), mostState ^ LVIS_SELECTED, LVIS_SELECTED);
    for (uint32_t record : focused)
        ListView_SetItemState(window_, rowOf[record], LVIS_FOCUSED, LVIS_FOCUSED);
    ::SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
    restoringStates_ = false;
}

int EntryList::selectedCount() const
{
    return static_cast<int>(ListView_GetSelectedCount(window_));
}

bool EntryList::selectedEntries(std::vector<int32_t>& indices) const
{
    indices.clear();
    for (uint32_t record : rowsInState(LVIS_SELECTED))
        indices.push_back(records_[record].entryIndex);
    if (!indices.empty())
        return true;
    for (uint32_t record : rows_)
        indices.push_back(records_[record].entryIndex);
    return false;
}

bool EntryList::firstSelectedEntry(int32_t& index) const
{
    const int row = ListView_GetNextItem(window_, -1, LVNI_SELECTED);
    if (row < 0)
        return false;
    index = records_[rows_[static_cast<size_t>(row)]].entryIndex;
    return true;
}

std::array<int, kColumnCount> EntryList::columnWidths() const
{
    std::array<int, kColumnCount> widths{};
    for (int column = 0; column < kColumnCount; ++column)
        widths[column] = dpi::unscale(ListView_GetColumnWidth(window_, column), dpi_);
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
    case WM_DROPFILES:
        return ::SendMessageA(parent_, WM_DROPFILES, wParam, lParam);
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
