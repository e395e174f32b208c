#pragma once
#include "ZipString.h"

#include <vector>

// Appends the files matching pattern ("folder\\mask"); with subfolders, the
// matches of every subfolder come before those of its parent.
void expandWildcard(const CString& pattern, std::vector<CString>& list, bool withSubfolders);
bool isFolder(const CString& path);
bool fileExists(const CString& path);
