#include "Os.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace os {

const FileHandle kInvalidFile = INVALID_HANDLE_VALUE;
const uint32_t kErrorDiskFull = ERROR_DISK_FULL;
const uint32_t kErrorFileExists = ERROR_FILE_EXISTS;

namespace {
// The code page of the narrow names and paths; CP_ACP follows the process.
UINT namesCodePage = CP_ACP;

UINT narrowCodePage()
{
    return namesCodePage == CP_ACP ? ::GetACP() : namesCodePage;
}

// The page the system's Windows tools write names in. A manifest that gives
// the program UTF-8 leaves it as it is.
UINT legacyCodePage()
{
    static const UINT page = [] {
        DWORD number = 0;
        const int got = ::GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                         reinterpret_cast<LPWSTR>(&number), sizeof number / sizeof(wchar_t));
        return got && number ? static_cast<UINT>(number) : ::GetACP();
    }();
    return page;
}

// flags MB_ERR_INVALID_CHARS: false when text holds bytes that are no
// characters of the code page; without it they become U+FFFD.
bool toWideFrom(UINT codePage, DWORD flags, const CString& text, std::wstring& wide)
{
    wide.clear();
    if (text.empty())
        return true;
    const int length = static_cast<int>(text.size());
    const int count = ::MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    if (count <= 0)
        return false;
    wide.resize(static_cast<size_t>(count));
    ::MultiByteToWideChar(codePage, flags, text.data(), length, &wide[0], count);
    return true;
}

// False when the code page lacks a character, which is then never replaced
// by a look-alike. UTF-8 lacks only what is no character (a lone surrogate).
bool fromWideTo(UINT codePage, const std::wstring& wide, CString& text)
{
    text.clear();
    if (wide.empty())
        return true;
    const int length = static_cast<int>(wide.size());
    const bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    int count = ::WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    bool whole = count > 0;
    if (!whole) {
        flags = 0;
        count = ::WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    }
    text.assign(static_cast<size_t>(count), '\0');
    BOOL usedDefault = FALSE;
    ::WideCharToMultiByte(codePage, flags, wide.data(), length, &text[0], count, nullptr,
                          utf8 ? nullptr : &usedDefault);
    return whole && !usedDefault;
}

CString narrowed(const std::wstring& wide)
{
    CString text;
    fromWide(wide, text);
    return text;
}

} // namespace

// A path past MAX_PATH must be full and carry the "\\?\" prefix, which lifts
// the limit on every version of the system, whatever the program's manifest
// says; CreateDirectory stops 12 short of it.
std::wstring systemPath(const CString& path)
{
    std::wstring wide = toWide(path);
    if (wide.size() < MAX_PATH - 12 || wide.compare(0, 4, L"\\\\?\\") == 0)
        return wide;
    std::wstring full(::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr));
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool listFolder(const CString& folder, const CString& mask, std::vector<FolderItem>& items)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(systemPath(folder + mask).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        FolderItem item;
        item.nameFits = fromWide(name, item.name);
        item.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        items.push_back(item);
    } while (::FindNextFileW(search, &found));
    const DWORD ended = ::GetLastError();
    ::FindClose(search);
    ::SetLastError(ended);
    return ended == ERROR_NO_MORE_FILES;
}

namespace {
HANDLE createFile(const CString& path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return ::CreateFileW(systemPath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
}

HANDLE createTemporary(const CString& folder)
{
    wchar_t name[MAX_PATH];
    if (!::GetTempFileNameW(toWide(folder).c_str(), L"Zip", 0, name))
        return INVALID_HANDLE_VALUE;
    return ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
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

// Asks a system call that reports how long its answer is for a buffer big
// enough, however long that is.
template <typename Call>
std::wstring grownAnswer(Call call)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = call(&buffer[0], static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}
}

void useUtf8Names()
{
    namesCodePage = CP_UTF8;
}

std::wstring toWide(const CString& text)
{
    std::wstring wide;
    toWideFrom(narrowCodePage(), 0, text, wide);
    return wide;
}

bool fromWide(const std::wstring& wide, CString& text)
{
    return fromWideTo(narrowCodePage(), wide, text);
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
    case OpenMode::ReadBeside:
        return createFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    case OpenMode::TempDeleteOnClose:
        return createTemporary(path);
    case OpenMode::CreateForWriting:
        return createFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    case OpenMode::CreateNew:
        return createFile(path, GENERIC_WRITE, 0, CREATE_NEW, 0);
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
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(systemPath(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    ::FindClose(search);
    return (static_cast<int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

bool removeFile(const CString& path)
{
    return ::DeleteFileW(systemPath(path).c_str()) != FALSE;
}

bool replaceFile(const CString& from, const CString& to)
{
    return ::MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
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
    return ::GetFileAttributesW(systemPath(path).c_str());
}

namespace {
// File times count 100 ns steps from 1601, calendar seconds from 1970.
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr int64_t kStepsPerSecond = 10000000LL;
}

bool fileModificationTime(const CString& path, std::time_t& seconds)
{
    WIN32_FILE_ATTRIBUTE_DATA status;
    if (!::GetFileAttributesExW(systemPath(path).c_str(), GetFileExInfoStandard, &status))
        return false;
    ULARGE_INTEGER steps;
    steps.LowPart = status.ftLastWriteTime.dwLowDateTime;
    steps.HighPart = status.ftLastWriteTime.dwHighDateTime;
    seconds = static_cast<std::time_t>(static_cast<int64_t>(steps.QuadPart) / kStepsPerSecond - kSecondsFrom1601To1970);
    return true;
}

bool toLocalTime(std::time_t seconds, std::tm& local)
{
    return ::localtime_s(&local, &seconds) == 0;
}

bool setFileModificationTime(const CString& path, std::time_t seconds)
{
    ULARGE_INTEGER steps;
    steps.QuadPart =
        static_cast<ULONGLONG>((static_cast<int64_t>(seconds) + kSecondsFrom1601To1970) * kStepsPerSecond);
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
    wchar_t* text = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
        nullptr);
    CString result = length && text ? narrowed(std::wstring(text, length)) : CString();
    ::LocalFree(text);
    return result;
}

CString errorReason(uint32_t code)
{
    CString reason = errorText(code);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

// A name that is no UTF-8 after all was written by a tool that did not know
// of UTF-8.
bool nameFromUtf8(const CString& utf8, CString& name)
{
    std::wstring wide;
    if (!toWideFrom(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, wide))
        return nameFromLegacy(utf8, name);
    return fromWide(wide, name);
}

bool nameToUtf8(const CString& name, CString& utf8)
{
    std::wstring wide;
    return toWideFrom(narrowCodePage(), MB_ERR_INVALID_CHARS, name, wide) && fromWideTo(CP_UTF8, wide, utf8);
}

bool nameFromLegacy(const CString& stored, CString& name)
{
    if (legacyCodePage() == narrowCodePage()) {
        name = stored;
        return true;
    }
    std::wstring wide;
    toWideFrom(legacyCodePage(), 0, stored, wide);
    return fromWide(wide, name);
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

CString programPath()
{
    return narrowed(
        grownAnswer([](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); }));
}

CString programFolder()
{
    const CString path = programPath();
    const size_t slash = path.rfind('\\');
    return slash == CString::npos ? CString() : path.substr(0, slash + 1);
}

CString tempFolder()
{
    return narrowed(grownAnswer([](wchar_t* buffer, DWORD size) { return ::GetTempPathW(size, buffer); }));
}

CString currentFolder()
{
    return narrowed(grownAnswer([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); }));
}

bool createFolder(const CString& path)
{
    ::CreateDirectoryW(systemPath(path).c_str(), nullptr);
    const uint32_t attributes = fileAttributes(path);
    return attributes != kNoAttributes && (attributes & kAttrDirectory) != 0;
}

namespace {
class SystemDrives : public Drives {
public:
    bool isRemovable(const CString& path) override
    {
        // The system wants the root folder, not the bare drive letter; a
        // network path has no drive letter and is never removable.
        const CString root = rootOf(path);
        return !root.empty() && ::GetDriveTypeW(toWide(root + "\\").c_str()) == DRIVE_REMOVABLE;
    }

    // Removable media today hold far more than 4 GiB; more than the 32 bits
    // can say is reported as the most they can say, never as a wrapped rest.
    uint32_t freeSpace(const CString& path) override
    {
        CString root = rootOf(path);
        DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
        if (!::GetDiskFreeSpaceW(toWide(root).c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                                 &clusters)
            && !::GetDiskFreeSpaceW(toWide(root + "/").c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
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
