#pragma once
// The "Run this file" list of the convert panel and of Exe File Details:
// "None", then every entry's file name in stored order.
#include "ZipFile.h"

#include <windows.h>

constexpr int kLongestInstallDir = MAX_PATH - 1;

// The install folder field and run file list of a dialog or panel.
void prepareExeFields(HWND dialog, const CZipFile& archive);
// The chosen line of the run file list; 0 ("None") when none is chosen.
long chosenRunLine(HWND dialog);
// The run file for line choice of the list: empty for "None" (0), otherwise
// the entry's folder and name below the install folder, always with a
// backslash in front of the name.
CString runFileOf(const CZipFile& archive, long choice);
// The part of a stored run file that the list lines are matched against.
CString runFileName(const CString& runFile);
