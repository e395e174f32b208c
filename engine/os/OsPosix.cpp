#include "Os.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit on every platform");

namespace os {

const FileHandle kInvalidFile = reinterpret_cast<FileHandle>(static_cast<intptr_t>(-1));
const uint32_t kErrorDiskFull = ENOSPC;
const uint32_t kErrorFileExists = EEXIST;

namespace {
int fd(FileHandle file)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(file));
}

FileHandle handle(int descriptor)
{
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(descriptor));
}

// Root may write anywhere; a file without write bits stands for the Windows
// read-only attribute so that opening behaves the same for every user.
bool hasNoWriteBits(const CString& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
}

int openReadWrite(const CString& path)
{
    if (hasNoWriteBits(path)) {
        errno = EACCES;
        return -1;
    }
    return ::open(path.c_str(), O_RDWR | O_CREAT, 0666);
}

// An operation a stand-in disk refused fails as the system's would, with its error code.
bool refusedUnless(bool allowed, int code)
{
    if (!allowed)
        errno = code;
    return allowed;
}

int openTemporary(const CString& folder)
{
    CString pattern = folder + "ZipXXXXXX";
    int descriptor = ::mkstemp(&pattern[0]);
    if (descriptor >= 0)
        ::unlink(pattern.c_str());
    return descriptor;
}
}

FileHandle openFile(const CString& path, OpenMode mode)
{
    switch (mode) {
    case OpenMode::ReadWriteAlways:
        return handle(openReadWrite(path));
    case OpenMode::ReadOnlyAlways:
        return handle(::open(path.c_str(), O_RDONLY | O_CREAT, 0666));
    case OpenMode::ReadExisting:
    case OpenMode::ReadBeside:
        return handle(::open(path.c_str(), O_RDONLY));
    case OpenMode::TempDeleteOnClose:
        return handle(openTemporary(path));
    case OpenMode::CreateForWriting:
        return handle(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666));
    case OpenMode::CreateNew:
        return handle(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
    }
    return kInvalidFile;
}

void closeFile(FileHandle file)
{
    ::close(fd(file));
}

bool readFile(FileHandle file, void* buffer, uint32_t count, uint32_t& done)
{
    done = 0;
    const uint32_t allowed = allowedBytes(FileOperation::Read, file, count);
    char* out = static_cast<char*>(buffer);
    while (done < allowed) {
        ssize_t got = ::read(fd(file), out + done, allowed - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        done += static_cast<uint32_t>(got);
    }
    return refusedUnless(done == count, EIO);
}

bool writeFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done)
{
    done = 0;
    const uint32_t allowed = allowedBytes(FileOperation::Write, file, count);
    const char* in = static_cast<const char*>(buffer);
    while (done < allowed) {
        ssize_t put = ::write(fd(file), in + done, allowed - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<uint32_t>(put);
    }
    return refusedUnless(done == count, ENOSPC);
}

bool seekFile(FileHandle file, int64_t offset, Origin origin)
{
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    return refusedUnless(allowedBytes(FileOperation::Seek, file, 1) == 1, EIO)
           && ::lseek(fd(file), static_cast<off_t>(offset), whence[static_cast<int>(origin)]) >= 0;
}

int64_t filePosition(FileHandle file)
{
    return ::lseek(fd(file), 0, SEEK_CUR);
}

int64_t fileSize(FileHandle file)
{
    struct stat st;
    return ::fstat(fd(file), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool truncateHere(FileHandle file)
{
    if (!refusedUnless(allowedBytes(FileOperation::Truncate, file, 1) == 1, EIO))
        return false;
    off_t here = ::lseek(fd(file), 0, SEEK_CUR);
    return here >= 0 && ::ftruncate(fd(file), here) == 0;
}

bool flushFile(FileHandle file)
{
    return refusedUnless(allowedBytes(FileOperation::Flush, file, 1) == 1, EIO) && ::fsync(fd(file)) == 0;
}

int64_t fileSizeAtPath(const CString& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool removeFile(const CString& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool replaceFile(const CString& from, const CString& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool isSameFile(const CString& a, const CString& b)
{
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

uint32_t fileAttributes(const CString& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return kNoAttributes;
    if (S_ISDIR(st.st_mode))
        return kAttrDirectory;
    return kAttrArchive | ((st.st_mode & 0222) == 0 ? kAttrReadOnly : 0);
}

bool fileModificationTime(const CString& path, std::time_t& seconds)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    seconds = st.st_mtime;
    return true;
}

bool toLocalTime(std::time_t seconds, std::tm& local)
{
    return ::localtime_r(&seconds, &local) != nullptr;
}

bool setFileModificationTime(const CString& path, std::time_t seconds)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, {seconds, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

uint32_t lastError()
{
    return static_cast<uint32_t>(errno);
}

void setLastError(uint32_t code)
{
    errno = static_cast<int>(code);
}

CString errorText(uint32_t code)
{
    return code == 0 ? CString() : CString(std::strerror(static_cast<int>(code)));
}

namespace {
// Length of the UTF-8 sequence a lead byte starts, 0 when it starts none.
size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Shortest forms only, no surrogates, nothing past U+10FFFF.
bool isUtf8(const CString& text)
{
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = sequenceLength(lead);
        if (length == 0 || at + length > text.size())
            return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        at += length;
    }
    return true;
}
}

// The file system takes names as bytes: a UTF-8 name is used as it is.
bool nameFromUtf8(const CString& utf8, CString& name)
{
    name = utf8;
    return true;
}

bool nameToUtf8(const CString& name, CString& utf8)
{
    utf8 = name;
    return isUtf8(name);
}

bool nameFromLegacy(const CString& stored, CString& name)
{
    name = stored;
    return true;
}

int compareNames(const CString& a, const CString& b)
{
    return std::strcmp(a.c_str(), b.c_str());
}

CString dropDrivePart(const CString& path)
{
    size_t start = path.find_first_not_of('/');
    return start == CString::npos ? CString() : path.substr(start);
}

CString programPath()
{
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length <= 0 ? CString() : CString(buffer, static_cast<size_t>(length));
}

CString programFolder()
{
    const CString path = programPath();
    return path.substr(0, path.rfind('/') + 1);
}

CString tempFolder()
{
    const char* folder = std::getenv("TMPDIR");
    CString result = folder && *folder ? folder : "/tmp";
    if (result.back() != '/')
        result += '/';
    return result;
}

CString currentFolder()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? CString(buffer) : CString();
}

bool createFolder(const CString& path)
{
    ::mkdir(path.c_str(), 0777);
    return fileAttributes(path) == kAttrDirectory;
}

namespace {
// No removable drives are reachable from the POSIX build unless a test installs one.
class FixedDrives : public Drives {
public:
    bool isRemovable(const CString&) override { return false; }
    uint32_t freeSpace(const CString&) override { return 0; }
};

}

Drives& systemDrives()
{
    static FixedDrives drives;
    return drives;
}

} // namespace os
