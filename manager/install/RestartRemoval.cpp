// The installed files: their size for the system's list of programs, and
// listing them for deletion at the next restart (the NT family keeps the list
// itself, the Windows 95 family reads "Wininit.ini").
#include "Installation.h"
#include "os/Os.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {
// The two forms name the help pages differently.
using FileNames = std::array<const char*, 6>;
constexpr FileNames kNtFamilyNames = {"Quaylink.dll", "Sledstub.dll", "Readme.txt", "Add.htm", "Exe.htm", "main.htm"};
constexpr FileNames kWindows95Names = {"Quaylink.dll", "Sledstub.dll", "Readme.txt", "main.htm", "add.htm", "exe.htm"};
constexpr const char kSection[] = "[rename]";
constexpr DWORD kSectionSearchBytes = 10000;

// The manager first, the folder last: it empties only once the rest is gone.
std::vector<CString> installedFileSet(const CString& manager, const CString& folder, const FileNames& names,
                                      const CString& folderEntry)
{
    std::vector<CString> entries{manager};
    for (const char* name : names)
        entries.push_back(folder + name);
    entries.push_back(folderEntry);
    return entries;
}

void deleteAtRestart(const std::vector<CString>& entries)
{
    for (const CString& entry : entries)
        ::MoveFileExA(entry.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void write(HANDLE file, const CString& text)
{
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool holdsSection(HANDLE file)
{
    std::vector<char> start(kSectionSearchBytes);
    DWORD read = 0;
    if (!::ReadFile(file, start.data(), kSectionSearchBytes, &read, nullptr))
        return false;
    return std::string_view(start.data(), read).find(kSection) != std::string_view::npos;
}

// Whatever is appended must begin a line of its own, or it would run into
// the file's last line and spoil both.
bool endsInsideALine(HANDLE file)
{
    char last = '\n';
    DWORD read = 0;
    if (::SetFilePointer(file, -1, nullptr, FILE_END) != INVALID_SET_FILE_POINTER)
        ::ReadFile(file, &last, 1, &read, nullptr);
    return last != '\n';
}

// A file that is already gone has no short form and nothing to delete.
bool shortForm(const CString& path, CString& shortened)
{
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    shortened.assign(buffer, length);
    return true;
}

void listInWininit(const std::vector<CString>& entries, const CString& systemFolder)
{
    const size_t last = systemFolder.rfind('\\');
    if (last == CString::npos)
        return;
    const CString path = systemFolder.substr(0, last + 1) + "Wininit.ini";
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const bool sectionFound = holdsSection(file);
    if (endsInsideALine(file))
        write(file, "\r\n");
    ::SetFilePointer(file, 0, nullptr, FILE_END);
    if (!sectionFound)
        write(file, CString(kSection) + "\r\n");
    CString shortened;
    for (const CString& entry : entries)
        if (shortForm(entry, shortened))
            write(file, "NUL=" + shortened + "\r\n");
    ::FlushFileBuffers(file);
    ::CloseHandle(file);
}
} // namespace

unsigned long installedKibibytes(const CString& manager)
{
    // A missing file counts for nothing.
    const auto bytesOf = [](const CString& path) { return std::max<int64_t>(os::fileSizeAtPath(path), 0); };
    const CString folder = programDirectory(manager);
    int64_t bytes = bytesOf(manager);
    for (const char* name : kNtFamilyNames)
        bytes += bytesOf(folder + name);
    return static_cast<unsigned long>((bytes + 1023) / 1024);
}

void scheduleRemovalOnReboot(const InstallSystem& system)
{
    const CString manager = system.managerPath();
    const CString folder = programDirectory(manager);
    // Bare names would stand for files of whatever folder is current.
    if (folder.empty())
        return;
    if (!system.isWindows95Family()) {
        deleteAtRestart(installedFileSet(manager, folder, kNtFamilyNames, folder));
        return;
    }
    const CString systemFolder = system.systemFolder();
    if (!systemFolder.empty())
        listInWininit(installedFileSet(manager, folder, kWindows95Names, folder.substr(0, folder.size() - 1)),
                      systemFolder);
}
