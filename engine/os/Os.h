#pragma once
// The engine's only window onto the operating system. Win32 and POSIX each
// implement it once; nothing else in the engine includes a system header.
#include "../ZipString.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace os {

using FileHandle = void*;
extern const FileHandle kInvalidFile;

enum class OpenMode {
    ReadWriteAlways,   // archive: read and write, others may read, created when missing
    ReadOnlyAlways,    // archive fallback when writing is refused
    ReadExisting,      // a file being added or a stub being copied
    ReadBeside,        // archive read by a second reader while the first may hold it open for writing
    TempDeleteOnClose, // scratch file that disappears when closed
    CreateForWriting,  // made afresh (an existing file is emptied), nobody else may use it meanwhile
    CreateNew,         // an extracted file's first home: never an existing file, nobody else may use it meanwhile
};

enum class Origin { Begin = 0, Current = 1, End = 2 };

FileHandle openFile(const CString& path, OpenMode mode);
void closeFile(FileHandle file);
// Both report false when the system call failed; a short count is not a failure.
bool readFile(FileHandle file, void* buffer, uint32_t count, uint32_t& done);
bool writeFile(FileHandle file, const void* buffer, uint32_t count, uint32_t& done);
bool seekFile(FileHandle file, int64_t offset, Origin origin);
int64_t filePosition(FileHandle file);
int64_t fileSize(FileHandle file);
bool truncateHere(FileHandle file);
bool flushFile(FileHandle file);

// The operations that move through or change an open file. Tests stand in
// for a failing or full disk by limiting them; without such a stand-in
// every operation is left to the system.
enum class FileOperation { Read, Write, Seek, Truncate, Flush };
class FileFaults {
public:
    virtual ~FileFaults() = default;
    // How many of count bytes the operation may get through before it fails
    // (seeks, truncations and flushes ask for 1: all or nothing).
    virtual uint32_t allowed(FileOperation operation, FileHandle file, uint32_t count) = 0;
};
// Installs a stand-in (nullptr removes it); returns the previous one.
FileFaults* setFileFaults(FileFaults* replacement);
// What the operations above consult: count unless a stand-in says less.
uint32_t allowedBytes(FileOperation operation, FileHandle file, uint32_t count);

// Size of the file named by path, -1 when there is none. Looks at the
// directory entry, not at any open handle.
int64_t fileSizeAtPath(const CString& path);
bool removeFile(const CString& path);
// Moves the file at from to the name to, in place of any file there.
bool replaceFile(const CString& from, const CString& to);
// Both paths name one and the same existing file.
bool isSameFile(const CString& a, const CString& b);

// A file written under a temporary name until it is whole. It is made anew
// (never an existing file) and held open from then on: only the file held is
// renamed or removed, never another that has come to bear its name. Until it
// is named or discarded, an interruption of the program removes it (once
// removeTemporariesWhenInterrupted has been called).
FileHandle createTemporaryFile(const CString& path);
// Gives the temporary file at path the name target and closes it. Fails with
// kErrorFileExists when target exists and replace is false; the file then
// stays held.
bool nameTemporaryFile(FileHandle file, const CString& path, const CString& target, bool replace);
// Removes the temporary file at path, unless another has come to bear its name, and closes it.
void discardTemporaryFile(FileHandle file, const CString& path);
// Ctrl+C, the ending of the program (SIGTERM, or closing its console) and
// the hanging up of its terminal first remove every temporary file still
// held, then end the program as they would have.
void removeTemporariesWhenInterrupted();
// What separates the names of a path.
extern const char* const kSeparators;
// A name (one component) as the system tells names apart: on Windows neither
// case nor the dots and blanks at its end count; elsewhere every byte does.
CString nameKey(const CString& name);

// Windows attribute bits; kNoAttributes when the path does not exist.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kNoAttributes = 0xFFFFFFFF;
uint32_t fileAttributes(const CString& path);
bool fileModificationTime(const CString& path, std::time_t& seconds);
bool toLocalTime(std::time_t seconds, std::tm& local);
// Changes the time the file was last written; its content stays untouched.
bool setFileModificationTime(const CString& path, std::time_t seconds);

uint32_t lastError();
void setLastError(uint32_t code);
extern const uint32_t kErrorDiskFull;
// What creating a file that must be new says when the name is taken.
extern const uint32_t kErrorFileExists;
// The system's own explanation of an error code; empty when it has none.
CString errorText(uint32_t code);

// Entry names between UTF-8 and the system's own spelling: the ANSI code
// page on Windows (UTF-8 itself where the program's manifest asks for it),
// the file system's bytes elsewhere. False when the result is not the same
// name: the code page lacks one of its characters (name then holds a form fit
// only for showing), or a name has no UTF-8 form.
bool nameFromUtf8(const CString& utf8, CString& name);
bool nameToUtf8(const CString& name, CString& utf8);
// A name stored without saying it is UTF-8: written by a Windows tool in the
// system's legacy ANSI code page, which it keeps even where the program
// speaks UTF-8. Elsewhere the file system's bytes, as they are.
bool nameFromLegacy(const CString& stored, CString& name);

// Ordering of stored names in the directory's index: locale-aware, case-sensitive.
int compareNames(const CString& a, const CString& b);

// A full path less its drive ("C:\\" on Windows, the leading "/" on POSIX),
// the start of an entry name that keeps folder names.
CString dropDrivePart(const CString& path);

// Full path of the running program, and its folder with the trailing separator.
CString programPath();
CString programFolder();
CString tempFolder();
CString currentFolder();
// True when the folder is there afterwards, made now or before.
bool createFolder(const CString& path);

#ifdef _WIN32
// The narrow spelling of every name and path above is the process's ANSI
// code page. Code that lives in another program's process (the Explorer
// extension) cannot choose that page and switches to UTF-8 instead, before
// it hands the engine any name.
void useUtf8Names();
// Between the narrow spelling and the system's wide one. False when the
// narrow spelling lacks one of the characters (text then holds a form fit
// only for showing).
std::wstring toWide(const CString& text);
bool fromWide(const std::wstring& wide, CString& text);
// The wide form the system's file calls take, of a path of any length.
std::wstring systemPath(const CString& path);
// What a folder holds, listed through those calls.
struct FolderItem {
    CString name;
    bool isFolder;
    // False when the narrow spelling lacks one of the name's characters
    // (name then holds a form fit only for showing).
    bool nameFits;
};
// Appends the items of folder (ending in a separator) that match mask, "."
// and ".." left out. False, with lastError() saying why, when the folder
// cannot be listed to its end; a folder without a match is no failure.
bool listFolder(const CString& folder, const CString& mask, std::vector<FolderItem>& items);
// errorText for the middle of a message: without the line break the system
// ends it with, and never empty.
CString errorReason(uint32_t code);
#endif

// Removable drives are what makes an archive a spanned set. Tests replace
// the system's answer with a simulated drive.
class Drives {
public:
    virtual ~Drives() = default;
    virtual bool isRemovable(const CString& path) = 0;
    virtual uint32_t freeSpace(const CString& path) = 0;
};
Drives& drives();
// Installs a replacement (nullptr restores the system's); returns the previous one.
Drives* setDrives(Drives* replacement);

} // namespace os
