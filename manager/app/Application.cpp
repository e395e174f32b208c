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

int runMessageLoop(HACCEL accelerators)
{
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!::TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
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
    const CommandLine line = parseCommandLine(commandLine);
    if (line.uninstall)
        return uninstallProduct();
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
