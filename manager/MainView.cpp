// How the main window shows the archive: rows, title, command states and
// the recent-file items of the File menu.
#include "MainWindow.h"

#include "Settings.h"
#include "resource.h"

#include <shellapi.h>

namespace {
constexpr int kFirstRecentPosition = 6;
constexpr int kRecentCommands[settings::kRecentCount] = {ID_FILE_RECENT1, ID_FILE_RECENT2, ID_FILE_RECENT3,
                                                         ID_FILE_RECENT4};

// Looked up by name only: the entry need not exist on disk.
int iconFor(const CString& name)
{
    SHFILEINFOA info = {};
    ::SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    return info.iIcon;
}

EntryRecord recordOf(const CZipFile& archive, int index)
{
    EntryRecord record;
    record.name = archive.getFileName(index);
    record.compressedSize = archive.getCompressedSize(index);
    record.uncompressedSize = archive.getUncompressedSize(index);
    record.attributes = archive.getAttributes(index);
    record.path = archive.getPath(index);
    record.crc = archive.getCRC(index);
    record.entryIndex = index;
    return record;
}

bool isUsableRecent(const CString& path)
{
    return !path.empty() && path != settings::kRecentPlaceholder;
}

CString readRecent(int slot)
{
    return settings::readSettingString(settings::kPrefs, settings::recentFileKey(slot),
                                       settings::kRecentPlaceholder);
}

bool menuHasItem(HMENU menu, int command)
{
    return ::GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND) != static_cast<UINT>(-1);
}

// Right after the recent item before this one, wherever that is now.
int recentInsertPosition(HMENU menu, int slot)
{
    const int count = ::GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position)
        if (::GetMenuItemID(menu, position) == static_cast<UINT>(kRecentCommands[slot - 1]))
            return position + 1;
    return kFirstRecentPosition + slot;
}

void showRecentItem(HMENU menu, int slot, const CString& path)
{
    const int command = kRecentCommands[slot];
    if (menuHasItem(menu, command))
        ::ModifyMenuA(menu, command, MF_BYCOMMAND | MF_STRING, command, path.c_str());
    else
        ::InsertMenuA(menu, recentInsertPosition(menu, slot), MF_BYPOSITION | MF_STRING, command, path.c_str());
}
} // namespace

bool MainWindow::archiveOpen() const
{
    return !archivePath_.empty() && archive_.is_open();
}

void MainWindow::refreshView()
{
    entryList_.clear();
    for (int index = 0; index < archive_.getFileCount(); ++index) {
        const EntryRecord record = recordOf(archive_, index);
        if (!record.name.empty())
            entryList_.addRow(record, iconFor(record.name));
    }
    ::SetWindowTextA(window_, title().c_str());
    updateCommandStates();
    closeProgress();
}

CString MainWindow::title() const
{
    CString text = "Packrook   " + archivePath_;
    if (archive_.is_open() && archive_.isReadOnly())
        text += " - Read Only ";
    return text;
}

void MainWindow::updateCommandStates()
{
    const bool open = archiveOpen();
    const bool writable = open && !archive_.isReadOnly();
    enableCommand(ID_ACTIONS_ADD, writable);
    enableCommand(ID_ACTIONS_DELETE, writable && entryList_.selectedCount() > 0);
    enableCommand(ID_ACTIONS_EXTRACT, open);
    enableCommand(ID_FILE_CONVERT, open);
    enableCommand(ID_ACTIONS_COMMENT, open);
    enableCommand(ID_FILE_CLOSE, open);
}

void MainWindow::enableCommand(int command, bool enabled)
{
    if (::SendMessageA(toolbar_, TB_COMMANDTOINDEX, command, 0) >= 0)
        ::SendMessageA(toolbar_, TB_ENABLEBUTTON, command, MAKELONG(enabled ? TRUE : FALSE, 0));
    ::EnableMenuItem(::GetMenu(window_), command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::updateRecentFiles(const CString& path)
{
    if (settings::storeRecentFile(path))
        rebuildRecentMenu();
}

void MainWindow::rebuildRecentMenu()
{
    HMENU fileMenu = ::GetSubMenu(::GetMenu(window_), 0);
    const CString first = readRecent(0);
    if (isUsableRecent(first))
        ::ModifyMenuA(fileMenu, ID_FILE_RECENT1, MF_BYCOMMAND | MF_STRING | MF_ENABLED, ID_FILE_RECENT1,
                      first.c_str());
    else
        ::ModifyMenuA(fileMenu, ID_FILE_RECENT1, MF_BYCOMMAND | MF_STRING | MF_GRAYED, ID_FILE_RECENT1,
                      "Last Opened Files");
    for (int slot = 1; slot < settings::kRecentCount; ++slot) {
        const CString path = readRecent(slot);
        if (isUsableRecent(path))
            showRecentItem(fileMenu, slot, path);
        else
            ::DeleteMenu(fileMenu, kRecentCommands[slot], MF_BYCOMMAND);
    }
}
