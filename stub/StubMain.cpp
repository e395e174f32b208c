// Sledstub.dll: the head of every self-extracting program.
#include "Installer.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The run file may be a document whose program the shell starts through COM.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Installer installer;
    return installer.run();
}
