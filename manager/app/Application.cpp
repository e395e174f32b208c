#include "Application.h"

#include "AddOptions.h"
#include "CommandLine.h"
#include "Installation.h"
#include "MainWindow.h"
#include "Settings.h"
#include "resource.h"

namespace {
void takeCommandLine(const CommandLine& line, MainWindow& window)
{
    if (line.archivePathGiven) {
        window.setArchivePath(line.archivePath);
        addOptions().showAddDialog = false;
    }
    window.pendingFiles() = line.files;
}

// Files from the command line keep their folders unless the user said otherwise.
void addCommandLineFiles(MainWindow& window)
{
    if (!window.pendingFiles().empty())
        addOptions().keepFolderNames = settings::readSettingInt(settings::kPrefs, "AddToUseIncPath", 1) != 0;
    window.openPendingArchive();
    window.pendingFiles().clear();
    addOptions().keepFolderNames = false;
}

// Typed characters travel as UTF-16: the controls are wide windows, and a
// character taken through the narrow code page may not come back whole.
int runMessageLoop(HACCEL accelerators)
{
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!::TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
} // namespace

int runManager(HINSTANCE instance, const CString& commandLine)
{
    MainWindow::registerClass(instance);
    HACCEL accelerators = ::LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    settings::mapSettingsSection(settings::kStartSection);
    CommandLine line = parseCommandLine(commandLine);
    if (line.uninstall)
        return uninstallProduct();
    CString failure;
    if (!takeListFile(line, failure)) {
        ::MessageBoxA(nullptr, failure.c_str(), "Packrook", MB_ICONWARNING | MB_OK);
        return 1;
    }
    MainWindow window(instance);
    takeCommandLine(line, window);
    if (!window.create(!line.hidden))
        return 0;
    if (shellExtensionNeedsRegistration())
        registerShellExtension();
    ::ShowWindow(window.handle(), line.hidden ? SW_HIDE : SW_SHOW);
    ::UpdateWindow(window.handle());
    writeShellAssociation();
    addCommandLineFiles(window);
    if (line.hidden)
        return 0;
    window.showCommentOnOpen();
    return runMessageLoop(accelerators);
}
