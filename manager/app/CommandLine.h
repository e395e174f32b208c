#pragma once
// The manager's command line: an archive path, "-h" for adding without a
// window, "-a" followed by quoted file names, "-U" to uninstall. Switches are
// case-sensitive and only the first two characters of a word are looked at.
#include "ZipString.h"

#include <vector>

struct CommandLine {
    bool uninstall = false;
    bool hidden = false;
    bool archivePathGiven = false;
    CString archivePath;
    std::vector<CString> files;
};

CommandLine parseCommandLine(const CString& text);
