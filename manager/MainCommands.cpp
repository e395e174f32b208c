// What the menu items, toolbar buttons and keys of the main window do, and
// how the window answers the engine while an operation runs.
#include "MainWindow.h"

#include "AddOptions.h"
#include "PasswordDialog.h"
#include "Settings.h"
#include "Wildcard.h"
#include "resource.h"

#include <map>

namespace {
constexpr const char* kCaption = "Packrook";
constexpr const char* kNotAnArchive =
    "Packrook cannot open this type of file.\r\n\r\nIt does not have a standard Zip file format";
} // namespace

void MainWindow::onCommand(int command)
{
    using Handler = void (MainWindow::*)();
    static const std::map<int, Handler> handlers = {
        {ID_FILE_CLOSE, &MainWindow::closeArchive},
        {ID_FILE_EXIT, &MainWindow::exitProgram},
    };
    const auto handler = handlers.find(command);
    if (handler != handlers.end()) {
        (this->*handler->second)();
        return;
    }
    if (command >= ID_FILE_RECENT1 && command <= ID_FILE_RECENT4)
        openRecent(command - ID_FILE_RECENT1);
}

void MainWindow::closeArchive()
{
    archive_.close();
    archivePath_.clear();
    refreshView();
}

// Leaves without the close-time saving of placement and column widths.
void MainWindow::exitProgram()
{
    ::DestroyWindow(window_);
}

void MainWindow::openRecent(int slot)
{
    const CString path = settings::readSettingString(settings::kPrefs, settings::recentFileKey(slot),
                                                     settings::kRecentPlaceholder);
    if (path.empty() || path == settings::kRecentPlaceholder)
        return;
    archivePath_ = path;
    openPendingArchive();
}

// Choosing where a new archive goes needs the New dialog, which comes later.
void MainWindow::newArchive()
{
    ::MessageBoxA(window_, "Creating a new archive is not yet available.", kCaption, MB_ICONINFORMATION | MB_OK);
}

void MainWindow::openPendingArchive()
{
    try {
        openOrCreatePending();
        refreshView();
    } catch (const CZipException& error) {
        addOptions().addSubfolders = false;
        archivePath_.clear();
        refreshView();
        reportError(error);
    }
}

void MainWindow::openOrCreatePending()
{
    if (archivePath_.empty() && pendingFiles_.empty())
        return;
    expandPendingFolders();
    archive_.close();
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
    if (archive_.openZipFile(archivePath_) && !pendingFiles_.empty())
        addPendingFiles();
    if (!archive_.is_open())
        throw CZipException(kNotAnArchive);
}

// A folder stays in the list (adding skips folders); its files follow it.
void MainWindow::expandPendingFolders()
{
    for (size_t i = 0; i < pendingFiles_.size(); ++i) {
        const CString path = pendingFiles_[i];
        if (!isFolder(path))
            continue;
        addOptions().addSubfolders = true;
        expandWildcard(path + "\\*.*", pendingFiles_, addOptions().addSubfolders);
        addOptions().addSubfolders = false;
    }
}

void MainWindow::addPendingFiles()
{
    const AddOptions& options = addOptions();
    openProgress();
    archive_.addNewFiles(pendingFiles_, options.compression, options.keepFolderNames, options.replaceExisting);
    finishOperation();
}

void MainWindow::reportError(const CZipException& error)
{
    hideForPrompt();
    ::MessageBoxA(window_, error.getMessage().c_str(), kCaption, MB_ICONWARNING | MB_OK);
    endPrompt();
}

void MainWindow::hideForPrompt()
{
    if (progress_)
        progress_->hideForPrompt();
}

void MainWindow::endPrompt()
{
    operationFlags().promptActive = false;
}

void MainWindow::openProgress()
{
    if (!progress_)
        progress_ = std::make_unique<ProgressWindow>(instance_, window_);
}

void MainWindow::closeProgress()
{
    progress_.reset();
}

void MainWindow::finishOperation()
{
    closeProgress();
    setStatusText("Ready");
}

bool MainWindow::askForDisk(int disk)
{
    char text[160];
    if (disk == -1)
        std::snprintf(text, sizeof text, "%s",
                      "If this file is part of a spanned zip set\r\nPlease insert the last disk of the span "
                      "set.\r\nPress OK when done");
    else
        std::snprintf(text, sizeof text, "Please insert disk %ld of the span set.\r\nPress OK when done",
                      static_cast<long>(disk));
    hideForPrompt();
    const bool inserted = ::MessageBoxA(window_, text, kCaption, MB_ICONQUESTION | MB_OKCANCEL) == IDOK;
    endPrompt();
    return inserted;
}

bool MainWindow::askForSpanning()
{
    return true;
}

bool MainWindow::askForPassword(CString& password)
{
    hideForPrompt();
    PasswordDialog dialog(instance_, password_);
    const bool entered = dialog.run(window_) == IDOK;
    if (entered) {
        password_ = dialog.password();
        password = password_;
    }
    endPrompt();
    return entered;
}

CString MainWindow::getPassword()
{
    return password_;
}

void MainWindow::setStatusText(CString text)
{
    ::SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ::UpdateWindow(window_);
    if (progress_)
        progress_->setProgressText(text);
}

bool MainWindow::checkForUserCancel()
{
    return progress_ && operationFlags().cancelled;
}
