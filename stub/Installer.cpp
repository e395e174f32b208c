#include "Installer.h"

#include "ExeSlots.h"
#include "ExtractionPlan.h"
#include "ZipPaths.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace {
constexpr char kCaption[] = "Packrook";
constexpr char kProgramFilesPlaceholder[] = "$$PROGRAMFILES$$";

CString programFilesFolder()
{
    char path[MAX_PATH] = {};
    LPITEMIDLIST folder = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &folder))) {
        ::SHGetPathFromIDListA(folder, path);
        ::ILFree(folder);
    }
    if (path[0])
        return path;
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    const CString windowsFolder = windows;
    const size_t colon = windowsFolder.find(':');
    if (colon == CString::npos)
        return "c:\\program files";
    return windowsFolder.substr(0, colon + 1) + "\\program files";
}

// A slot holds what the maker's code page spelt: UTF-8 where it ran on
// today's Windows, the legacy code page on older ones. Either way the stub
// reads it in its own.
CString slotText(const char* slot)
{
    CString text;
    os::nameFromUtf8(slot, text);
    return text;
}

// Text in front of the placeholder is dropped: the folder it stands for is
// always a full path.
CString installDirectory()
{
    const CString slot = slotText(installDirSlot());
    if (slot.empty())
        return os::currentFolder();
    const size_t placeholder = slot.find(kProgramFilesPlaceholder);
    if (slot.find("$$") == CString::npos || placeholder == CString::npos)
        return slot;
    return programFilesFolder() + slot.substr(placeholder + sizeof kProgramFilesPlaceholder - 1);
}

CString withBackslash(CString path)
{
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return path;
}

std::vector<CString> components(CString path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    std::vector<CString> parts;
    size_t start = 0;
    for (size_t end; (end = path.find('\\', start)) != CString::npos; start = end + 1)
        parts.push_back(path.substr(start, end - start));
    parts.push_back(path.substr(start));
    return parts;
}

void createFolder(const CString& path)
{
    if (!os::createFolder(path))
        throw CZipException("Failed to create directory " + path);
}

// Walks the chain from its root; an empty component (a UNC start, a doubled
// backslash) ends the walk.
void createInstallDirectory(const CString& installDir)
{
    CString path;
    for (const CString& part : components(installDir)) {
        if (part.empty())
            break;
        path += part + "\\";
        createFolder(path);
    }
}

// Case does not tell file names apart.
bool sameFileName(const CString& a, const CString& b)
{
    const std::wstring wideA = os::toWide(a);
    const std::wstring wideB = os::toWide(b);
    return ::CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                  static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

void showWarning(const CString& text)
{
    ::MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
}
}

int Installer::run()
{
    CString installDir = installDirectory();
    if (!confirm(installDir))
        return 0;
    runFile_ = slotText(runFileSlot());
    installDir = withBackslash(installDir);
    try {
        createInstallDirectory(installDir);
        archive_.openZipFile(os::programPath());
    } catch (const CZipException& error) {
        showWarning(error.getMessage());
        return 1;
    }
    extractEntries(installDir);
    if (!refusedNames_.empty())
        showWarning(refusedNamesWarning(refusedNames_));
    startRunFile(installDir);
    return 0;
}

void Installer::startRunFile(const CString& installDir) const
{
    if (runFile_.empty())
        return;
    if (!runFileInstalled_) {
        showWarning("The file to run was not started, as this program did not install it: " + runFile_);
        return;
    }
    ::ShellExecuteA(nullptr, nullptr, (installDir + runFile_).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool Installer::confirm(const CString& installDir) const
{
    const CString question =
        "The files will now install to " + installDir + "\r\n\r\nAre you sure you want to continue";
    return ::MessageBoxA(nullptr, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// One plan for every entry, extracted on every core; each entry stands
// alone: whatever goes wrong with it is shown, in the archive's order, and
// the other entries are installed all the same.
void Installer::extractEntries(const CString& installDir)
{
    std::vector<ExtractJob> jobs;
    for (int i = 0; i < archive_.getFileCount(); ++i) {
        const CZipFileHeader& header = *archive_.getFileHeader(i);
        if (refusedForExtraction(archive_, i, header.name))
            refusedNames_.push_back(header.name);
        else
            jobs.push_back({i, installDir + archive_.getPath(i) + archive_.getFileName(i),
                            archive_.getFileName(i).empty()});
    }
    archive_.setThreadCount(0);
    archive_.extractInParallel(planExtraction(jobs), [&](const ExtractJob& job, const CString& error) {
        if (!error.empty())
            showWarning(error);
        else if (!job.folder)
            runFileInstalled_ = runFileInstalled_ || isRunFile(job.target.substr(installDir.size()));
        return true;
    });
}

// Names the file the run file names, as the system compares file names.
bool Installer::isRunFile(const CString& relative) const
{
    return !runFile_.empty() && sameFileName(relative, runFileInInstallDir(runFile_));
}
