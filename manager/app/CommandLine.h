#pragma once
// The manager's command line: an archive path, "-h" for adding without a
// window, "-a" followed by quoted file names or "-l" followed by the quoted
// path of a list file, "-U" to uninstall. Switches are case-sensitive and
// only the first two characters of a word are looked at.
#include "ZipString.h"

#include <vector>

struct CommandLine {
    bool uninstall = false;
    bool hidden = false;
    bool archivePathGiven = false;
    CString archivePath;
    std::vector<CString> files;
    // The form the Explorer extension uses, which no command-line length
    // limits: a file in the temporary folder naming the files to add.
    CString listFile;
};

CommandLine parseCommandLine(const CString& text);

// Adds the names of the list file, one a line in UTF-8, to the files, and
// removes the list file when it lies in the temporary folder. False, with
// the reason in failure, when it cannot be read or names a file that the
// system's code page cannot hold: then none of them is to be added.
bool takeListFile(CommandLine& line, CString& failure);
