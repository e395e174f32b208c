#pragma once
#include "ZipString.h"

// An entry name that would leave the folder it is extracted into: a ".."
// component, a leading slash or backslash, or a drive letter. Such entries
// are never written.
bool leavesDestination(const CString& name);
