// How the main window shows the archive: rows, title, command states and
// the recent-file items of the File menu.
#include "MainWindow.h"

#include "Settings.h"
#include "resource.h"

#include <shellapi.h>

#include <algorithm>
#include <map>

namespace {
constexpr int kFirstRecentPosition = 7;
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

// A lookup that does not touch the disk depends on the name's extension
// alone, so each extension is asked about once.
class IconCache {
public:
    int iconFor(const CString& name)
    {
        const size_t dot = name.rfind('.');
        const CString extension = dot == CString::npos ? CString() : name.substr(dot);
        const auto known = icons_.find(extension);
        if (known != icons_.end())
            return known->second;
        const int icon = ::iconFor(name);
        icons_.emplace(extension, icon);
        return icon;
    }

private:
    std::map<CString, int> icons_;
};

bool beforeInArchive(const CZipFileHeader* first, const CZipFileHeader* second)
{
    return first->firstDisk != second->firstDisk ? first->firstDisk < second->firstDisk
                                                 : first->localHeaderOffset < second->localHeaderOffset;
}

// The attributes column also tells how an entry is encrypted.
CString attributesOf(const CZipFile& archive, int index)
{
    const CString attributes = archive.getAttributes(index);
    const CString encryption = archive.getEncryptionName(index);
    if (encryption.empty())
        return attributes;
    return attributes.empty() ? encryption : attributes + " " + encryption;
}

EntryRecord recordOf(const CZipFile& archive, int index)
{
    EntryRecord record;
    record.name = archive.getFileName(index);
    record.compressedSize = archive.getCompressedSize64(index);
    record.uncompressedSize = archive.getUncompressedSize64(index);
    record.attributes = attributesOf(archive, index);
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

bool MainWindow::archiveReadable() const
{
    return archive_.is_open() || readerOpen_;
}

bool MainWindow::archiveOpen() const
{
    return !archivePath_.empty() && archiveReadable();
}

void MainWindow::refreshView()
{
    // A closed reader would still list the entries of its last file.
    const int count = archiveReadable() ? static_cast<int>(archive_.getFileCount()) : 0;
    std::vector<EntryRecord> records;
    std::vector<int> images;
    records.reserve(static_cast<size_t>(count));
    images.reserve(static_cast<size_t>(count));
    IconCache icons;
    for (int index = 0; index < count; ++index) {
        EntryRecord record = recordOf(archive_, index);
        if (record.name.empty())
            continue;
        images.push_back(icons.iconFor(record.name));
        records.push_back(std::move(record));
    }
    entryList_.setRows(std::move(records), std::move(images));
    ::SetWindowTextA(window_, title().c_str());
    updateCommandStates();
    closeProgress();
}

// Disk after disk and each disk front to back, so a spanned set is read in
// one pass; tar and gzip files keep the rows' order.
bool MainWindow::collectSelection(std::vector<int32_t>& indices) const
{
    const bool selected = entryList_.selectedEntries(indices);
    if (archive_.isTarMode() || archive_.isGzipMode())
        return selected;
    std::stable_sort(indices.begin(), indices.end(), [this](int32_t first, int32_t second) {
        return beforeInArchive(archive_.getFileHeader(first), archive_.getFileHeader(second));
    });
    return selected;
}

CString MainWindow::title() const
{
    CString text = "Packrook   " + archivePath_;
    if (archiveReadable() && shownReadOnly())
        text += " - Read Only ";
    if (archiveReadable() && archive_.isRecovered())
        text += "- Damaged, use File > Repair ";
    return text;
}

void MainWindow::updateCommandStates()
{
    const bool open = archiveOpen();
    const bool writable = open && !shownReadOnly();
    enableCommand(ID_ACTIONS_ADD, writable);
    enableCommand(ID_ACTIONS_DELETE, writable && entryList_.selectedCount() > 0);
    enableCommand(ID_ACTIONS_EXTRACT, open);
    enableCommand(ID_FILE_CONVERT, open && !readerOpen_);
    enableCommand(ID_FILE_REPAIR, open && archive_.isRecovered());
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
