#pragma once
// Starts Packrook.exe from the folder this DLL was loaded from.
#include <windows.h>

#include <string>

// Empty when the DLL's own path has no folder.
std::string managerPath();
// Hidden start; the manager decides on its own window.
void startManager(HWND owner, const std::string& parameters);
// Shown start, then waits for the manager to end; false when it could not be
// started or has not ended within the time.
bool runManager(const std::string& parameters, DWORD timeoutMs);
