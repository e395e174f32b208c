#pragma once
#include "ZipString.h"

// An entry name that must not be written as it stands: it would leave the
// folder it is extracted into (a ".." component, or a run of dots and blanks
// the system reads as one; a leading slash or backslash; a drive letter),
// write into an alternate stream (any colon), or open a device (a component
// named CON, NUL, COM1 and the like, also with a superscript digit for the
// number, whatever its extension). The name
// counts up to its first zero byte, as far as a file system ever sees it.
// The manager, the command line and the self-extractor refuse such entries
// alike.
bool leavesDestination(const CString& name);
