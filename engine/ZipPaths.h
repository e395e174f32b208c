#pragma once
#include "ZipString.h"

#include <vector>

class CZipFile;

// An entry name that must not be written as it stands: it would leave the
// folder it is extracted into (a ".." component, or a run of dots and blanks
// the system reads as one; a leading slash or backslash; a drive letter) or
// name that folder itself (".", "./", nothing but separators),
// write into an alternate stream (any colon), or open a device (a component
// named CON, NUL, COM1 and the like, also with a superscript digit for the
// number, whatever its extension). The name counts up to its first zero
// byte, as far as a file system ever sees it.
bool leavesDestination(const CString& name);

// A self-extractor's file to run, as a name inside its install directory
// (backslashes): the manager writes a file at the top as "\name", which the
// stub joins to the directory as it stands.
CString runFileInInstallDir(const CString& runFile);

// An entry that extraction leaves out: the name it would be written under
// (written: with its folders or without) leaves the destination, or the
// system cannot spell the entry's name, which would come out as another.
// The manager, the command line and the self-extractor pass such entries
// over, extract the rest, and name them in one warning at the end.
bool refusedForExtraction(const CZipFile& archive, int index, const CString& written);
// That warning, naming the first `shown` entries and counting the others;
// a message box names the first 20.
constexpr size_t kRefusedNamesShown = 20;
CString refusedNamesWarning(const std::vector<CString>& names, size_t shown = kRefusedNamesShown,
                            const char* lineBreak = "\r\n");
