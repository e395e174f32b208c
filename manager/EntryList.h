#pragma once
// The list of the archive's entries: seven columns, one row per file entry,
// rows sorted by clicking a column. The list hands its commands and context
// menu choices on to the main window.
#include "EntryRecord.h"

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <vector>

class EntryList {
public:
    EntryList() = default;
    ~EntryList();
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;

    bool create(HWND parent, HINSTANCE instance, HIMAGELIST smallIcons);
    HWND handle() const { return window_; }

    void clear();
    // One row per record, with the image of the same position; the last
    // record is on top, so unsorted rows show the stored order reversed.
    void setRows(std::vector<EntryRecord> records, const std::vector<int>& images);
    // Column texts are made when the list shows them.
    void fillDisplayInfo(NMLVDISPINFOA& info) const;
    // Flips the direction (whatever column was clicked before) and sorts.
    void sortBy(int column);
    int selectedCount() const;
    // The entry indices of the selected rows in row order; of every row,
    // and false, when none is selected.
    bool selectedEntries(std::vector<int32_t>& indices) const;
    std::array<int, kColumnCount> columnWidths() const;
    void layout(int x, int y, int width, int height);

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static int CALLBACK compareRows(LPARAM first, LPARAM second, LPARAM list);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void insertColumns();
    void insertRow(size_t record, int image);
    int entryIndexOfRow(int row) const;
    void showContextMenu(LPARAM position);

    HWND window_ = nullptr;
    HWND parent_ = nullptr;
    HINSTANCE instance_ = nullptr;
    WNDPROC listProc_ = nullptr;
    std::vector<EntryRecord> records_;
    int sortColumn_ = 0;
    int sortDirection_ = 1;
};
