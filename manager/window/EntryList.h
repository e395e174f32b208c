#pragma once
// The list of the archive's entries: seven columns, one row per file entry,
// rows sorted by clicking a column. The list hands its commands and context
// menu choices on to the main window.
//
// The control asks for each row's texts and image as it shows them, and
// the rows' order is a table here: a big archive appears and sorts without
// the control storing, moving or deleting a hundred thousand items.
#include "Dpi.h"
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

    bool create(HWND parent, HINSTANCE instance);
    // Icons, font and column widths for the DPI the list is now drawn for.
    void setDpi(UINT dpi, HFONT font);
    HWND handle() const { return window_; }

    void clear();
    // One row per record, with the image of the same position; the last
    // record is on top, so unsorted rows show the stored order reversed.
    void setRows(std::vector<EntryRecord> records, std::vector<int> images);
    // What the list asks its owner: a row's texts, image and record position.
    void fillDisplayInfo(NMLVDISPINFOA& info) const;
    // Typing a name's first letters: the row to go to, or -1. The list
    // asks in narrow or wide characters.
    int findRow(const NMLVFINDITEMA& search) const;
    int findRow(const NMLVFINDITEMW& search) const;
    // Flips the direction (whatever column was clicked before) and sorts;
    // selected rows stay selected.
    void sortBy(int column);
    // While sorting puts the selection back, the rows it reports changed
    // are not the user's doing.
    bool restoringStates() const { return restoringStates_; }
    int selectedCount() const;
    // The entry indices of the selected rows in row order; of every row,
    // and false, when none is selected.
    bool selectedEntries(std::vector<int32_t>& indices) const;
    // The entry index of the first selected row; false when none is selected.
    bool firstSelectedEntry(int32_t& index) const;
    // As kept in the settings: in pixels at 96 DPI.
    std::array<int, kColumnCount> columnWidths() const;
    void layout(int x, int y, int width, int height);

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void insertColumns();
    void showContextMenu(LPARAM position);
    void makeSortKeys(int column);
    bool rowBefore(uint32_t first, uint32_t second) const;
    std::vector<uint32_t> rowsInState(UINT state) const;
    void restoreStates(const std::vector<uint32_t>& selected, const std::vector<uint32_t>& focused);
    int findRow(int start, UINT flags, const CString& typed) const;
    bool nameStartsWith(size_t row, UINT flags, const CString& typed) const;

    HWND window_ = nullptr;
    HWND parent_ = nullptr;
    HINSTANCE instance_ = nullptr;
    // The columns are made for 96 DPI and scaled from there.
    UINT dpi_ = dpi::kBase;
    WNDPROC listProc_ = nullptr;
    std::vector<EntryRecord> records_;
    std::vector<int> images_;
    // The record position shown in each row.
    std::vector<uint32_t> rows_;
    // Sort keys of the records for keyColumn_ (-1: none made yet).
    std::vector<CString> sortKeys_;
    int keyColumn_ = -1;
    int sortColumn_ = 0;
    int sortDirection_ = 1;
    bool restoringStates_ = false;
};
