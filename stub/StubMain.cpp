// Sledstub.dll: the head of every self-extracting program.
#include "Installer.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The run file may be a document whose program the shell starts through COM.
    // The manifest asks for version 6 of the controls; loading them here
    // gives the password dialog its themed buttons and edit.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Installer installer;
    return installer.run();
}
