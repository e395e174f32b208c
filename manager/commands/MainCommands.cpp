// Where the main window's commands go, the Help menu and Options, and how
// the window answers the engine while an operation runs.
#include "MainWindow.h"

#include "AboutDialog.h"
#include "OptionsDialog.h"
#include "PasswordDialog.h"
#include "resource.h"

#include <shellapi.h>

#include <cstdio>
#include <map>

namespace {
constexpr const char* kCaption = "Packrook";
} // namespace

void MainWindow::onCommand(int command)
{
    using Handler = void (MainWindow::*)();
    static const std::map<int, Handler> handlers = {
        {ID_FILE_OPEN, &MainWindow::openArchive},
        {ID_FILE_NEW, &MainWindow::newArchive},
        {ID_FILE_CLOSE, &MainWindow::closeArchive},
        {ID_FILE_CONVERT, &MainWindow::convertToExe},
        {ID_FILE_REPAIR, &MainWindow::repairArchive},
        {ID_FILE_EXIT, &MainWindow::exitProgram},
        {ID_ACTIONS_ADD, &MainWindow::addFiles},
        {ID_ACTIONS_DELETE, &MainWindow::deleteSelected},
        {ID_ACTIONS_COMMENT, &MainWindow::editComment},
        {ID_ACTIONS_PASSWORD, &MainWindow::setPassword},
        {ID_ACTIONS_EDITEXE, &MainWindow::editExe},
        {ID_ACTIONS_OPTIONS, &MainWindow::showOptions},
        {ID_HELP_OVERVIEW, &MainWindow::showOverview},
        {ID_HELP_ABOUT, &MainWindow::showAbout},
        {ID_ACTIONS_EXTRACT, &MainWindow::extract},
        {ID_PASTE_WITH_PATH, &MainWindow::pasteWithPath},
        {ID_PASTE_WITHOUT_PATH, &MainWindow::pasteWithoutPath},
    };
    const auto handler = handlers.find(command);
    if (handler != handlers.end()) {
        (this->*handler->second)();
        return;
    }
    if (command >= ID_FILE_RECENT1 && command <= ID_FILE_RECENT4)
        openRecent(command - ID_FILE_RECENT1);
}

void MainWindow::showOptions()
{
    OptionsDialog(instance_).run(window_);
}

void MainWindow::showAbout()
{
    AboutDialog(instance_).run(window_);
}

// The help lies beside the program.
void MainWindow::showOverview()
{
    const CString folder = os::programFolder();
    if (folder.empty())
        return;
    const CString page = folder + "main.htm";
    ::ShellExecuteA(window_, nullptr, page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
    bool inserted = false;
    onWindowThread([&] {
        hideForPrompt();
        inserted = ::MessageBoxA(window_, text, kCaption, MB_ICONQUESTION | MB_OKCANCEL) == IDOK;
        endPrompt();
    });
    return inserted;
}

bool MainWindow::askForSpanning()
{
    return true;
}

// The engine asks while it reads an encrypted entry.
bool MainWindow::askForPassword(CString& password)
{
    return promptForPassword(PasswordUse::reading, CString(), password);
}

bool MainWindow::askForPasswordAgain(const CString& entryName)
{
    CString entered;
    return promptForPassword(PasswordUse::reading,
                             "The password did not fit " + entryName + ". Enter the right one:", entered);
}

bool MainWindow::askForPasswordToAdd()
{
    CString entered;
    return promptForPassword(PasswordUse::adding, CString(), entered);
}

bool MainWindow::promptForPassword(PasswordUse use, const CString& note, CString& password)
{
    bool entered = false;
    onWindowThread([&] {
        hideForPrompt();
        PasswordDialog dialog(instance_, password_, use, note);
        entered = dialog.run(window_) == IDOK;
        if (entered) {
            password_ = dialog.password();
            password = password_;
        }
        endPrompt();
    });
    return entered;
}

// The remembered password changes only on the window's thread, while work
// beside it waits for the prompt or has not started.
CString MainWindow::getPassword()
{
    return password_;
}

Encryption MainWindow::getEncryption()
{
    return rememberedEncryption();
}

void MainWindow::setStatusText(CString text)
{
    onWindowThread([&] {
        ::SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
        ::UpdateWindow(window_);
        if (progress_)
            progress_->setProgressText(text);
    });
}

bool MainWindow::checkForUserCancel()
{
    return progress_ && operationFlags().cancelled;
}

// The engine calls back on the thread that runs it, which is beside the
// window while the progress window waits for the work.
void MainWindow::onWindowThread(const std::function<void()>& call)
{
    if (progress_)
        progress_->runOnWindowThread(call);
    else
        call();
}
