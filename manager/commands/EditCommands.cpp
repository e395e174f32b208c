// The Actions menu's commands that change the open archive: adding files,
// deleting entries, the comment, the password and a program's install details.
#include "MainWindow.h"

#include "AddOptions.h"
#include "AddOptionsPanel.h"
#include "CommentDialog.h"
#include "ExeDetailsDialog.h"
#include "Settings.h"
#include "Wildcard.h"

#include <commdlg.h>

namespace {
constexpr char kAddFilters[] = "All\0*.*\0Text\0*.TXT\0";
// Room for a good many names chosen at once; the initial name still fits
// the usual path length.
constexpr size_t kAddBufferSize = 64 * 1024;

// A folder that is a drive's root already ends with its backslash.
CString inFolder(const CString& folder, const CString& name)
{
    return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

// The dialog gives one full path, or the folder followed by the names.
std::vector<CString> chosenPaths(const std::vector<CString>& chosen)
{
    if (chosen.size() <= 1)
        return chosen;
    std::vector<CString> paths;
    for (size_t i = 1; i < chosen.size(); ++i)
        paths.push_back(inFolder(chosen.front(), chosen[i]));
    return paths;
}

bool showAddDialog(HWND owner, AddOptionsPanel& panel)
{
    AddOptions& options = addOptions();
    options.wildcardMode = false;
    FileRequest request;
    request.filters = kAddFilters;
    request.initialFile = settings::readSettingString(settings::kPrefs, "LastFileAdded", "c:\\temp\\test.txt");
    request.flags = OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    request.bufferSize = kAddBufferSize;
    if (panel.show(owner, request) || options.wildcardMode)
        return true;
    if (panel.failure() != FNERR_INVALIDFILENAME)
        return false;
    request.initialFile.clear();
    return panel.show(owner, request) || options.wildcardMode;
}

std::vector<CString> filesToAdd(const AddOptionsPanel& panel, std::vector<CString>& unread)
{
    const AddOptions& options = addOptions();
    std::vector<CString> files;
    CString lastAdded;
    if (options.wildcardMode) {
        expandWildcard(options.wildcardPattern, files, options.addSubfolders, unread);
        lastAdded = options.wildcardPattern;
    } else {
        files = chosenPaths(panel.chosen());
        if (!files.empty())
            lastAdded = files.front();
    }
    if (!lastAdded.empty())
        settings::writeSettingString(settings::kPrefs, "LastFileAdded", lastAdded);
    return files;
}
} // namespace

bool MainWindow::writableArchiveOpen() const
{
    return archiveOpen() && !shownReadOnly();
}

void MainWindow::addFiles()
{
    if (!writableArchiveOpen())
        return;
    AddOptionsPanel panel(instance_);
    if (!showAddDialog(window_, panel))
        return;
    openProgress();
    try {
        if (addOptions().usePassword && !askForPasswordToAdd()) {
            finishOperation();
            return;
        }
        std::vector<CString> unread;
        std::vector<CString> files = filesToAdd(panel, unread);
        addBesideWindow(files);
        refreshView();
        finishOperation();
        reportUnread(unread);
    } catch (const CZipException& error) {
        closeProgress();
        reportError(error);
        refreshView();
    }
}

// Compressing a large file takes a while: the window keeps answering, and
// Cancel is seen before the next block.
void MainWindow::addBesideWindow(std::vector<CString>& files)
{
    const AddOptions options = addOptions();
    progress_->runBeside([&] {
        archive_.addNewFiles(files, options.compression, options.keepFolderNames, options.replaceExisting);
    });
}

// The window keeps answering meanwhile; the work cannot stop halfway, so
// it offers no Cancel.
void MainWindow::runBesideWithoutCancel(const CString& text, const std::function<void()>& work)
{
    openProgress();
    progress_->disableCancel();
    setStatusText(text);
    progress_->runBeside(work);
}

// Removing moves every entry behind the first one removed, which takes a
// while in a big archive.
void MainWindow::deleteSelected()
{
    std::vector<int32_t> indices;
    if (!writableArchiveOpen() || !collectSelection(indices))
        return;
    try {
        runBesideWithoutCancel("Deleting " + std::to_string(indices.size()) + " entries",
                               [&] { archive_.removeSomeFiles(indices); });
    } catch (const CZipException& error) {
        reportError(error);
    }
    refreshView();
    finishOperation();
}

void MainWindow::editComment()
{
    if (!archiveOpen())
        return;
    try {
        const bool readOnly = shownReadOnly();
        CommentDialog dialog(instance_, archive_.getGlobalComment(), readOnly);
        if (dialog.run(window_) == IDOK && !readOnly)
            archive_.setGlobalComment(dialog.comment());
    } catch (const CZipException& error) {
        reportError(error);
        refreshView();
    }
}

// Cancel keeps the remembered password, which the archive is given either way.
void MainWindow::setPassword()
{
    askForPasswordToAdd();
    archive_.setPassword(password_);
}

void MainWindow::editExe()
{
    CString installDir;
    CString runFile;
    try {
        if (!archive_.is_open() || shownReadOnly() || !archive_.getExeParams(installDir, runFile))
            return;
        ExeDetailsDialog dialog(instance_, archive_, installDir, runFile);
        if (dialog.run(window_) == IDOK)
            archive_.setExeParams(dialog.installDir(), dialog.runFile());
    } catch (const CZipException& error) {
        reportError(error);
        refreshView();
    }
}
