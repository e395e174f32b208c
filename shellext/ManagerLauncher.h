#pragma once
// Starts Packrook.exe from the folder this DLL was loaded from, and hands it
// the selection.
#include "CommandText.h"

#include <windows.h>

#include <string>

// Empty when the DLL's own path has no folder.
std::string managerPath();
// A new file in the temporary folder holding the selection, one path a
// line, for the manager to read and remove; empty when it cannot be written.
std::string writeListFile(const commandtext::Selection& selection);
// Hidden start; the manager decides on its own window. False when it could
// not be started.
bool startManager(HWND owner, const std::string& parameters);

enum class ManagerRun { notStarted, ended, stillRunning };
// Shown start, then waits for the manager to end, at most timeoutMs.
ManagerRun runManager(const std::string& parameters, DWORD timeoutMs);
