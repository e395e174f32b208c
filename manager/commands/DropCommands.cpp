// Files brought in from outside: dropped onto the entry list, or pasted
// from the clipboard. Both add them to the archive, asking for a new one
// when none is open.
#include "MainWindow.h"

#include "AddOptions.h"
#include "resource.h"

#include <shellapi.h>

namespace {
// Whole paths, however long: a cut one could name another file, and so
// could one whose character the code page lacks, taken as a wildcard. Such
// a name is refused and nothing is taken.
std::vector<CString> filesOf(HDROP drop)
{
    std::vector<CString> files;
    if (!drop)
        return files;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring wide(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
        ::DragQueryFileW(drop, i, &wide[0], static_cast<UINT>(wide.size() + 1));
        CString path;
        if (!os::fromWide(wide, path))
            throw CZipException("The system's code page cannot hold the name of " + path);
        files.push_back(path);
    }
    return files;
}

// Sets the two add options for a while and gives the old values back.
class AddOptionsFor {
public:
    AddOptionsFor(bool keepFolderNames, bool replaceExisting) : saved_(addOptions())
    {
        addOptions().keepFolderNames = keepFolderNames;
        addOptions().replaceExisting = replaceExisting;
    }
    ~AddOptionsFor()
    {
        addOptions().keepFolderNames = saved_.keepFolderNames;
        addOptions().replaceExisting = saved_.replaceExisting;
    }
    AddOptionsFor(const AddOptionsFor&) = delete;
    AddOptionsFor& operator=(const AddOptionsFor&) = delete;

private:
    const AddOptions saved_;
};
} // namespace

void MainWindow::onDropFiles(HDROP drop)
{
    std::vector<CString> files;
    try {
        files = filesOf(drop);
    } catch (const CZipException& error) {
        ::DragFinish(drop);
        reportError(error);
        return;
    }
    ::DragFinish(drop);
    const int command = chooseDropCommand();
    if (command != ID_DROP_WITH_PATH && command != ID_DROP_WITHOUT_PATH)
        return;
    const AddOptionsFor options(command == ID_DROP_WITH_PATH, addOptions().replaceExisting);
    addFileList(files);
}

// The menu answers here instead of sending its command; 0 when dismissed.
int MainWindow::chooseDropCommand()
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    HMENU menus = ::LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_CONTEXTMENU));
    ::SetForegroundWindow(window_);
    const int command = ::TrackPopupMenu(::GetSubMenu(menus, 2), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                         cursor.x, cursor.y, 0, window_, nullptr);
    ::DestroyMenu(menus);
    return command;
}

void MainWindow::pasteWithPath()
{
    paste(true);
}

void MainWindow::pasteWithoutPath()
{
    paste(false);
}

// The list is taken and the clipboard let go before adding, which may ask
// for a new archive first.
void MainWindow::paste(bool withPath)
{
    if (!::IsClipboardFormatAvailable(CF_HDROP) || !::OpenClipboard(window_))
        return;
    std::vector<CString> files;
    try {
        files = filesOf(static_cast<HDROP>(::GetClipboardData(CF_HDROP)));
    } catch (const CZipException& error) {
        ::CloseClipboard();
        reportError(error);
        return;
    }
    ::CloseClipboard();
    if (files.empty())
        return;
    const AddOptionsFor options(withPath, true);
    addFileList(files);
}

void MainWindow::addFileList(const std::vector<CString>& files)
{
    pendingFiles_.insert(pendingFiles_.end(), files.begin(), files.end());
    openPendingArchive();
    pendingFiles_.clear();
}
