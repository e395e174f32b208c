#include "Os.h"

#include <windows.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

namespace os {

const FileHandle kInvalidFile = INVALID_HANDLE_VALUE;
const uint32_t kErrorDiskFull = ERROR_DISK_FULL;

namespace {
HANDLE createFile(const CString& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return ::CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

HANDLE createTemporary(const CString& folder)
{
    char name[MAX_PATH];
    if (!::GetTempFileNameA(folder.c_str(), "Zip", 0, name))
        return INVALID_HANDLE_VALUE;
    return createFile(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_DELETE_ON_CLOSE);
}

// An operation a stand-in disk refused fails as the system's would, with its error code.
bool refusedUnless(bool allowed, DWORD code)
{
    if (!allowed)
        ::SetLastError(code);
    return allowed;
}

CString rootOf(const CString& path)
{
    char drive[_MAX_DRIVE] = {};
    ::_splitpath(path.c_str(), drive, nullptr, nullptr, nullptr);
    return drive;
}
}

FileHandle openFile(const CString& path, OpenMode mode)
{
    switch (mode) {
    case OpenMode::ReadWriteAlways:
        return createFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, 0);
    case OpenMode::ReadOnlyAlways:
        return createFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS, 0);
    case OpenMode::ReadExisting:
        return createFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    case OpenMode::TempDeleteOnClose:
        return createTemporary(path);
    case OpenMode::CreateForWriting:
        return createFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    }
    return INVALID_HANDLE_VALUE;
}

void closeFile(FileHandle file)
{
    ::CloseHandle(file);
}

bool readFile(FileHandle file, void* buffer, uint32_t count, uint32_t& done)
{
    const uint32_t allowed = allowedBytes(FileOperation::Read, file, count);
    DWORD got = 0;
    BOOL ok = ::ReadFile(file, buffer, allowed, &got, nullptr);
    done = got;
    return ok != FALSE && refusedUnless(allowed == count, ERROR_READ_FAULT);
}

bool writeFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done)
{
    const uint32_t allowed = allowedBytes(FileOperation::Write, file, count);
    DWORD put = 0;
    BOOL ok = ::WriteFile(file, buffer, allowed, &put, nullptr);
    done = put;
    return ok != FALSE && refusedUnless(allowed == count, ERROR_DISK_FULL);
}

bool seekFile(FileHandle file, int64_t offset, Origin origin)
{
    static const DWORD method[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return refusedUnless(allowedBytes(FileOperation::Seek, file, 1) == 1, ERROR_SEEK)
           && ::SetFilePointerEx(file, distance, nullptr, method[static_cast<int>(origin)]) != FALSE;
}

int64_t filePosition(FileHandle file)
{
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!::SetFilePointerEx(file, zero, &position, FILE_CURRENT))
        return -1;
    return position.QuadPart;
}

int64_t fileSize(FileHandle file)
{
    LARGE_INTEGER size;
    return ::GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

bool truncateHere(FileHandle file)
{
    return refusedUnless(allowedBytes(FileOperation::Truncate, file, 1) == 1, ERROR_WRITE_FAULT)
           && ::SetEndOfFile(file) != FALSE;
}

bool flushFile(FileHandle file)
{
    return refusedUnless(allowedBytes(FileOperation::Flush, file, 1) == 1, ERROR_WRITE_FAULT)
           && ::FlushFileBuffers(file) != FALSE;
}

int64_t fileSizeAtPath(const CString& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    ::FindClose(search);
    return (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

bool removeFile(const CString& path)
{
    return ::DeleteFileA(path.c_str()) != FALSE;
}

namespace {
bool identify(const CString& path, BY_HANDLE_FILE_INFORMATION& info)
{
    HANDLE file = createFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = ::GetFileInformationByHandle(file, &info);
    ::CloseHandle(file);
    return ok != FALSE;
}
}

bool isSameFile(const CString& a, const CString& b)
{
    BY_HANDLE_FILE_INFORMATION first, second;
    return identify(a, first) && identify(b, second) && first.dwVolumeSerialNumber == second.dwVolumeSerialNumber
           && first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

uint32_t fileAttributes(const CString& path)
{
    return ::GetFileAttributesA(path.c_str());
}

bool fileModificationTime(const CString& path, std::time_t& seconds)
{
    struct _stat64 status;
    if (::_stat64(path.c_str(), &status) != 0)
        return false;
    seconds = static_cast<std::time_t>(status.st_mtime);
    return true;
}

bool toLocalTime(std::time_t seconds, std::tm& local)
{
    return ::localtime_s(&local, &seconds) == 0;
}

bool setFileModificationTime(const CString& path, std::time_t seconds)
{
    // File times count 100 ns steps from 1601, calendar seconds from 1970.
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
    ULARGE_INTEGER steps;
    steps.QuadPart = static_cast<ULONGLONG>((static_cast<int64_t>(seconds) + kSecondsFrom1601To1970) * 10000000LL);
    const FILETIME written = {steps.LowPart, steps.HighPart};
    HANDLE file = createFile(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const BOOL set = ::SetFileTime(file, nullptr, nullptr, &written);
    ::CloseHandle(file);
    return set != FALSE;
}

uint32_t lastError()
{
    return ::GetLastError();
}

void setLastError(uint32_t code)
{
    ::SetLastError(code);
}

CString errorText(uint32_t code)
{
    char* text = nullptr;
    DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
        nullptr);
    CString result = length && text ? CString(text, length) : CString();
    ::LocalFree(text);
    return result;
}

namespace {
bool toWide(const CString& text, UINT codePage, std::wstring& wide)
{
    wide.clear();
    if (text.empty())
        return true;
    const int length = static_cast<int>(text.size());
    const int count = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (count <= 0)
        return false;
    wide.resize(static_cast<size_t>(count));
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, &wide[0], count);
    return true;
}

// usedDefault is left alone for UTF-8, which holds every character.
CString fromWide(const std::wstring& wide, UINT codePage, BOOL* usedDefault)
{
    if (wide.empty())
        return CString();
    const int length = static_cast<int>(wide.size());
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int count = ::WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    CString text(static_cast<size_t>(count), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), length, &text[0], count, nullptr,
                          codePage == CP_UTF8 ? nullptr : usedDefault);
    return text;
}
}

// A name that is no UTF-8 after all is taken as the code page's own bytes;
// a character the code page lacks is never replaced by a look-alike.
bool nameFromUtf8(const CString& utf8, CString& name)
{
    std::wstring wide;
    if (!toWide(utf8, CP_UTF8, wide)) {
        name = utf8;
        return true;
    }
    BOOL usedDefault = FALSE;
    name = fromWide(wide, ::GetACP(), &usedDefault);
    return !usedDefault;
}

bool nameToUtf8(const CString& name, CString& utf8)
{
    std::wstring wide;
    if (!toWide(name, CP_ACP, wide))
        return false;
    utf8 = fromWide(wide, CP_UTF8, nullptr);
    return true;
}

int compareNames(const CString& a, const CString& b)
{
    return ::lstrcmpA(a.c_str(), b.c_str());
}

CString dropDrivePart(const CString& path)
{
    size_t drive = path.find(":\\");
    return drive == CString::npos ? path : path.substr(drive + 2);
}

CString programFolder()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    CString folder = path;
    size_t slash = folder.rfind('\\');
    return slash == CString::npos ? CString() : folder.substr(0, slash + 1);
}

CString tempFolder()
{
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    return folder;
}

namespace {
class SystemDrives : public Drives {
public:
    bool isRemovable(const CString& path) override
    {
        // The system wants the root folder, not the bare drive letter; a
        // network path has no drive letter and is never removable.
        const CString root = rootOf(path);
        return !root.empty() && ::GetDriveTypeA((root + "\\").c_str()) == DRIVE_REMOVABLE;
    }

    // Removable media today hold far more than 4 GiB; more than the 32 bits
    // can say is reported as the most they can say, never as a wrapped rest.
    uint32_t freeSpace(const CString& path) override
    {
        CString root = rootOf(path);
        DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
        if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)
            && !::GetDiskFreeSpaceA((root + "/").c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                    &clusters))
            return 0;
        const uint64_t free = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
        return static_cast<uint32_t>(std::min<uint64_t>(free, UINT32_MAX));
    }
};

}

Drives& systemDrives()
{
    static SystemDrives drives;
    return drives;
}

} // namespace os
