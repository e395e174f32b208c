#pragma once
#include "ZipString.h"

#include <windows.h>

// The whole run of the manager for one command line; returns the exit code.
// In hidden mode ("-h") it returns once the files are added, leaving the
// never-shown window to the end of the process.
int runManager(HINSTANCE instance, const CString& commandLine);
