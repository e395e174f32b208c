// The File menu's commands: opening, creating, closing and converting the
// archive, the recent archives, and what opening with pending files does.
#include "MainWindow.h"

#include "AddOptions.h"
#include "ExePanel.h"
#include "RunFileList.h"
#include "Settings.h"
#include "ShowAddPanel.h"
#include "Wildcard.h"

#include <commdlg.h>

namespace {
constexpr const char* kCaption = "Packrook";
constexpr const char* kNotAnArchive =
    "Packrook cannot open this type of file.\r\n\r\nIt does not have a standard Zip file format";
constexpr const char* kRecoveredNote =
    "The directory of this archive is missing or damaged: a change to it may have been cut short.\r\n\r\n"
    "Its entries were read from their own headers and are shown read-only. Repair in the File menu writes "
    "them to a new archive with a fresh directory; this file stays as it is.";
constexpr const char* kDamagedNote =
    "The records of this archive contradict each other or the file: it may be damaged.\r\n\r\n"
    "Its entries are shown read-only, as far as they can be read. Adding, deleting, a new comment and "
    "converting are refused, so that no intact entry is lost.";
constexpr char kOpenFilters[] = "Zip    (*.zip)\0*.ZIP\0Self Extracting    (*.exe)\0*.EXE\0TAR    (*.tar)\0*.TAR\0"
                                "GZIP    (*.gzip)\0*.gzip\0All    (*.*)\0*.*\0";
constexpr char kNewFilters[] = "Zip    (*.zip)\0*.ZIP\0All    (*.*)\0*.*\0";
constexpr char kExeFilters[] = "Self Extracting    (*.exe)\0*.EXE\0All    (*.*)\0*.*\0";

CString remembered(const char* key, const char* fallback)
{
    return settings::readSettingString(settings::kPrefs, key, fallback);
}

// A name typed without any dot gets the usual extension.
CString withExtension(const CString& path, const char* extension)
{
    return path.find('.') == CString::npos ? path + extension : path;
}
} // namespace

void MainWindow::openArchive()
{
    addOptions().showAddDialog = false;
    ShowAddPanel panel(instance_);
    FileRequest request;
    request.filters = kOpenFilters;
    request.initialFile = remembered("LastPicked", "c:\\temp\\test.zip");
    request.flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!panel.show(window_, request))
        return;
    const CString path = panel.chosen().front();
    settings::writeSettingString(settings::kPrefs, "LastPicked", path);
    updateRecentFiles(path);
    archivePath_ = path;
    openPendingArchive();
    if (addOptions().showAddDialog)
        addFiles();
    else
        refreshView();
    showCommentOnOpen();
}

// The open archive is closed before the dialog: a cancelled New leaves it
// closed, with its rows still on screen.
void MainWindow::newArchive()
{
    closeEngineArchive();
    addOptions().showAddDialog = false;
    ShowAddPanel panel(instance_);
    FileRequest request;
    request.title = "New Zip File";
    request.filters = kNewFilters;
    request.initialFile = remembered("LastNewCreated", "c:\\temp\\test.zip");
    if (!panel.show(window_, request))
        return;
    const CString path = withExtension(panel.chosen().front(), ".zip");
    settings::writeSettingString(settings::kPrefs, "LastNewCreated", path);
    updateRecentFiles(path);
    try {
        if (!replaceExistingFile(path) || !archive_.createNewZip(path))
            return;
        archivePath_ = path;
        entryList_.clear();
        if (addOptions().showAddDialog)
            addFiles();
        else
            refreshView();
    } catch (const CZipException& error) {
        reportError(error);
    }
}

bool MainWindow::replaceExistingFile(const CString& path)
{
    if (!fileExists(path))
        return true;
    if (::MessageBoxA(window_, "The file already exists do you want to overwrite it?", kCaption,
                      MB_ICONQUESTION | MB_YESNO) != IDYES)
        return false;
    if (!::DeleteFileA(path.c_str()))
        throw CZipException("Failed to overwrite existing file");
    return true;
}

void MainWindow::closeArchive()
{
    closeEngineArchive();
    archivePath_.clear();
    refreshView();
}

// Only a zip archive can head a self-extracting program. Copying a large
// archive behind the stub takes a while.
void MainWindow::convertToExe()
{
    if (!archiveOpen() || readerOpen_)
        return;
    ExePanel panel(instance_, archive_);
    FileRequest request;
    request.title = "New Self Extracting File";
    request.filters = kExeFilters;
    request.initialFile = remembered("LastConvertToExe", "C:\\temp\\test.exe");
    if (!panel.show(window_, request)) {
        refreshView();
        return;
    }
    const CString path = withExtension(panel.chosen().front(), ".exe");
    settings::writeSettingString(settings::kPrefs, "LastConvertToExe", path);
    try {
        if (!replaceExistingFile(path))
            return;
        const CString runFile = runFileOf(archive_, panel.runChoice());
        const CString installDir = panel.installDir();
        runBesideWithoutCancel("Writing " + path, [&] { archive_.convertToExe(path, installDir, runFile); });
        readOnlyNote_.clear();
        archivePath_ = path;
    } catch (const CZipException& error) {
        reportError(error);
    }
    refreshView();
    finishOperation();
}

void MainWindow::openRecent(int slot)
{
    const CString path = settings::readSettingString(settings::kPrefs, settings::recentFileKey(slot),
                                                     settings::kRecentPlaceholder);
    if (path.empty() || path == settings::kRecentPlaceholder)
        return;
    archivePath_ = path;
    openPendingArchive();
    showCommentOnOpen();
}

void MainWindow::showCommentOnOpen()
{
    if (archiveReadable() && settings::readSettingInt(settings::kPrefs, "ShowCommentOnOpen", 0) != 0 &&
        !archive_.getGlobalComment().empty())
        editComment();
}

// Leaves without the close-time saving of placement and column widths.
void MainWindow::exitProgram()
{
    ::DestroyWindow(window_);
}

void MainWindow::openPendingArchive()
{
    std::vector<CString> unread;
    try {
        openOrCreatePending(unread);
        refreshView();
        reportUnread(unread);
    } catch (const CZipException& error) {
        addOptions().addSubfolders = false;
        archivePath_.clear();
        refreshView();
        reportError(error);
    }
}

void MainWindow::openOrCreatePending(std::vector<CString>& unread)
{
    if (archivePath_.empty() && pendingFiles_.empty())
        return;
    expandPendingFolders(unread);
    closeEngineArchive();
    if (archivePath_.empty()) {
        newArchive();
        if (archive_.is_open() && !pendingFiles_.empty())
            addPendingFiles();
        return;
    }
    if (!fileExists(archivePath_)) {
        if (archive_.createNewZip(archivePath_) && archive_.is_open() && !pendingFiles_.empty())
            addPendingFiles();
        return;
    }
    const bool opened = openZipOrRecovered();
    readerOpen_ = opened && (archive_.isTarMode() || archive_.isGzipMode());
    if (opened && !pendingFiles_.empty() && !shownReadOnly())
        addPendingFiles();
    if (!archiveReadable())
        throw CZipException(kNotAnArchive);
}

// A zip archive whose directory does not open is read from its entries'
// own headers, read-only, and the user is told why and what Repair does.
// One whose records the engine would refuse to change is shown read-only
// from the start, before anything is typed for a change.
bool MainWindow::openZipOrRecovered()
{
    try {
        if (archive_.openZipFile(archivePath_)) {
            if (archive_.refusesChanges())
                showReadOnlyWithNote(kDamagedNote);
            return true;
        }
    } catch (const CZipException&) {
        if (!openRecovered())
            throw;
        return true;
    }
    return openRecovered();
}

bool MainWindow::openRecovered()
{
    if (archive_.isTarMode() || archive_.isGzipMode() || !archive_.openRecovered(archivePath_))
        return false;
    showReadOnlyWithNote(kRecoveredNote);
    return true;
}

void MainWindow::showReadOnlyWithNote(const CString& note)
{
    readOnlyNote_ = note;
    ::MessageBoxA(window_, note.c_str(), kCaption, MB_ICONWARNING | MB_OK);
}

bool MainWindow::shownReadOnly() const
{
    return archive_.isReadOnly() || !readOnlyNote_.empty();
}

// The entries found go to a new file beside the damaged one, which is never
// written; a file already of that name is not replaced.
void MainWindow::repairArchive()
{
    if (!archiveOpen() || !archive_.isRecovered())
        return;
    const CString target = CZipFile::repairedPath(archivePath_);
    const int64_t unsearched = archive_.recoveryUnsearchedFrom();
    const CString question = "Write the " + std::to_string(archive_.getFileCount())
                             + " entries found to a new archive with a fresh directory?\r\n\r\n" + target
                             + (unsearched < 0 ? CString()
                                               : "\r\n\r\nThe search ended early: entries after offset "
                                                     + std::to_string(unsearched) + " were not looked for.");
    if (::MessageBoxA(window_, question.c_str(), kCaption, MB_ICONQUESTION | MB_YESNO) != IDYES)
        return;
    try {
        runBesideWithoutCancel("Writing " + target, [&] { archive_.writeRepaired(target); });
        readOnlyNote_.clear();
        archivePath_ = target;
        updateRecentFiles(target);
    } catch (const CZipException& error) {
        reportError(error);
        if (!archive_.is_open())
            archivePath_.clear();
    }
    refreshView();
    finishOperation();
}

void MainWindow::closeEngineArchive()
{
    archive_.close();
    readerOpen_ = false;
    readOnlyNote_.clear();
}

// A folder stays in the list (adding skips folders); its files follow it.
void MainWindow::expandPendingFolders(std::vector<CString>& unread)
{
    for (size_t i = 0; i < pendingFiles_.size(); ++i) {
        const CString path = pendingFiles_[i];
        if (!isFolder(path))
            continue;
        addOptions().addSubfolders = true;
        expandWildcard(path + "\\*.*", pendingFiles_, addOptions().addSubfolders, unread);
        addOptions().addSubfolders = false;
    }
}

// Named once the adding is over, as files that were left out.
void MainWindow::reportUnread(const std::vector<CString>& unread)
{
    if (!unread.empty())
        ::MessageBoxA(window_, unreadWarning(unread).c_str(), kCaption, MB_ICONWARNING | MB_OK);
}

void MainWindow::addPendingFiles()
{
    openProgress();
    addBesideWindow(pendingFiles_);
    finishOperation();
}
