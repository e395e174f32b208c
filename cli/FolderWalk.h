#pragma once
// Every file below a folder, for adding it whole.
#include "ZipString.h"

#include <vector>

// Appends the full path of every file below folder, at any depth and of any
// length. A folder that cannot be read, or a name the system's code page
// cannot hold, stops the walk with the path and the reason.
void appendFilesBelow(const CString& folder, std::vector<CString>& files);
