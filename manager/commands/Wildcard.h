#pragma once
#include "ZipString.h"

#include <vector>

// Appends the files matching pattern ("folder\\mask"); with subfolders, the
// matches of every subfolder come before those of its parent. What cannot be
// read (a folder the system will not list, a name the code page cannot
// hold) is appended to unread with the reason, never passed over in silence.
void expandWildcard(const CString& pattern, std::vector<CString>& list, bool withSubfolders,
                    std::vector<CString>& unread);
// The message that names them.
CString unreadWarning(const std::vector<CString>& unread);
bool isFolder(const CString& path);
bool fileExists(const CString& path);
