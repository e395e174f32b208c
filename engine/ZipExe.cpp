// Self-extracting programs: a copy of the stub with its two parameter slots
// filled in, followed by the archive with offsets counted from the start of
// the program file.
#include "ZipFile.h"

#include "ZipExeSlots.h"
#include "ZipPaths.h"

#include <algorithm>
#include <cstring>
#include <string_view>

using namespace exeslots;

namespace {
// The fill run is never spelled out as a literal: the engine is linked into
// the stub too, and a stray run in front of the slots would be found first.
std::string_view fillRun()
{
    static const CString run(kFillRun, kFill);
    return run;
}

void checkSlotValue(const CString& value, const char* what)
{
    if (value.size() > kLongestValue)
        throw CZipException(CString(what) + " is too long for a self-extracting program (at most "
                            + std::to_string(kLongestValue) + " characters)");
    if (value.find(fillRun()) != CString::npos)
        throw CZipException(CString(what) + " cannot hold " + std::to_string(kFillRun) + " \"" + kFill
                            + "\" in a row in a self-extracting program");
}

// The file to run is started from the install directory, so it is held to
// the rule that keeps every installed entry inside it.
void checkParameters(const CString& installDir, const CString& runFile)
{
    checkSlotValue(installDir, "The install directory");
    checkSlotValue(runFile, "The file to run");
    if (!runFile.empty() && leavesDestination(runFileInInstallDir(runFile)))
        throw CZipException("The file to run of a self-extracting program must lie inside its install directory: " + runFile);
}

// Value, its zero byte, fill up to the slot's own final zero byte: nothing of
// an older, longer value survives a rewrite.
void fillSlot(char* slot, const CString& value)
{
    std::memcpy(slot, value.data(), value.size());
    std::memset(slot + value.size(), kFill, kSlotSize - 1 - value.size());
    slot[value.size()] = '\0';
    slot[kSlotSize - 1] = '\0';
}

// Only the complete initial content counts as a slot, so that the marker text
// alone (as any program may hold it) is never patched.
size_t findInitialSlot(std::string_view stub, const char* marker)
{
    CString initial = CString(marker, kMarkerLength) + CString(kSlotSize - kMarkerLength - 1, kFill);
    initial += '\0';
    return stub.find(initial);
}

// A value starts behind the zero byte in front of its own terminator.
bool valueStartBefore(std::string_view bytes, size_t fill, uint32_t& start)
{
    if (fill == std::string_view::npos || fill == 0)
        return false;
    const size_t terminator = bytes.rfind('\0', fill - 1);
    if (terminator == std::string_view::npos || terminator == 0)
        return false;
    const size_t before = bytes.rfind('\0', terminator - 1);
    if (before == std::string_view::npos)
        return false;
    start = static_cast<uint32_t>(before + 1);
    return true;
}

}

// Closes the program file being written and, unless it was completed,
// removes it: a failed conversion leaves no half-written program behind.
class CZipFile::ExeTarget {
public:
    explicit ExeTarget(const CString& path)
        : path_(path), handle_(os::openFile(path, os::OpenMode::ReadWriteAlways))
    {
        if (handle_ == os::kInvalidFile)
            throw CZipLastErrorException("Couldn't create self-extracting program " + path);
    }
    ~ExeTarget()
    {
        os::closeFile(handle_);
        if (!completed_)
            os::removeFile(path_);
    }
    ExeTarget(const ExeTarget&) = delete;
    ExeTarget& operator=(const ExeTarget&) = delete;

    void append(const char* bytes, uint32_t count)
    {
        uint32_t written = 0;
        if (!os::writeFile(handle_, bytes, count, written) || written != count)
            throw CZipLastErrorException("Failed to write self-extracting program " + path_);
    }

    // An existing file is written over from its start; whatever it held
    // beyond the new end would hide the new end record.
    void complete()
    {
        os::truncateHere(handle_);
        completed_ = true;
    }

private:
    CString path_;
    os::FileHandle handle_;
    bool completed_ = false;
};

bool CZipFile::convertToExe(const CString& exePath, const CString& installDir, const CString& runFile)
{
    // The stub is the one beside this program, never one the current folder
    // happens to hold.
    const CString folder = os::programFolder();
    if (folder.empty())
        throw CZipException(CString("The folder of this program is unknown, so its ") + kStubName
                            + " cannot be found");
    return writeExe(folder + kStubName, exePath, installDir, runFile);
}

bool CZipFile::writeExe(const CString& stubPath, const CString& exePath, const CString& installDir,
                        const CString& runFile)
{
    checkParameters(installDir, runFile);
    if (!is_open())
        throw CZipException("Only an open zip archive can become a self-extracting program");
    refuseUnsafeChange();
    const uint32_t stubLength = readStub(stubPath, installDir, runFile);
    if (os::isSameFile(exePath, path_))
        throw CZipException("A self-extracting program cannot replace its own archive " + exePath);
    {
        ExeTarget target(exePath);
        target.append(readBuffer_, stubLength);
        appendArchive(target);
        target.complete();
    }
    try {
        reopenAsExe(exePath, stubLength);
    } catch (...) {
        exeOffset_ = 0;
        close();
        os::removeFile(exePath);
        throw;
    }
    return true;
}

// Reads the whole stub into the read buffer and fills in its slots; returns
// its length. The stub must fit in one buffer: getExeOffsets looks no further.
uint32_t CZipFile::readStub(const CString& stubPath, const CString& installDir, const CString& runFile)
{
    os::FileHandle stub = os::openFile(stubPath, os::OpenMode::ReadExisting);
    if (stub == os::kInvalidFile)
        throw CZipLastErrorException("Couldn't open self-extractor stub " + stubPath);
    uint32_t length = 0;
    const bool read = os::readFile(stub, readBuffer_, readBuffer_.size(), length);
    const bool tooLarge = os::fileSize(stub) >= readBuffer_.size();
    os::closeFile(stub);
    if (!read)
        throw CZipLastErrorException("Couldn't read self-extractor stub " + stubPath);
    if (tooLarge)
        throw CZipException("Self-extractor stub is too large " + stubPath);
    const std::string_view bytes(readBuffer_, length);
    const size_t installSlot = findInitialSlot(bytes, kInstallDirMarker);
    const size_t runSlot = findInitialSlot(bytes, kRunFileMarker);
    if (installSlot == std::string_view::npos || runSlot == std::string_view::npos)
        throw CZipException("Self-extractor stub has no parameter slots " + stubPath);
    fillSlot(readBuffer_ + installSlot, installDir);
    fillSlot(readBuffer_ + runSlot, runFile);
    return length;
}

void CZipFile::appendArchive(ExeTarget& target)
{
    const uint64_t length = GetLength();
    seekg(0, begin);
    for (uint64_t copied = 0; copied < length;) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(length - copied, readBuffer_.size()));
        const uint32_t got = read(readBuffer_, chunk, true);
        if (got == 0)
            throw CZipLastErrorException("Archive ended before it was copied " + path_);
        target.append(readBuffer_, got);
        copied += got;
    }
}

// With the stub length recorded, the directory is read at its old offsets
// moved by the stub, and written again with the offsets the program keeps:
// counted from its start, whatever data was in front of the archive.
void CZipFile::reopenAsExe(const CString& exePath, uint32_t stubLength)
{
    close();
    Open(exePath);
    exeOffset_ = stubLength;
    if (parseCentralDir()) {
        centralDir_.RemoveFromDisk();
        exeOffset_ = 0;
        centralDir_.dropPrefix();
        centralDir_.write();
    }
    exeOffset_ = 0;
}

bool CZipFile::getExeOffsets(uint32_t& installDirOffset, uint32_t& runFileOffset)
{
    if (!is_open())
        return false;
    seekg(0, begin);
    const uint32_t got = read(readBuffer_, readBuffer_.size(), false);
    const std::string_view bytes(readBuffer_, got);
    const size_t installFill = bytes.find(fillRun());
    if (!valueStartBefore(bytes, installFill, installDirOffset))
        return false;
    const size_t installEnd = bytes.find('\0', installFill);
    if (installEnd == std::string_view::npos)
        return false;
    if (!valueStartBefore(bytes, bytes.find(fillRun(), installEnd), runFileOffset))
        return false;
    // The slots lie back to back in the program in front of the archive;
    // anything else is some other program's data, or an entry's, that must
    // not be written over.
    return runFileOffset == installDirOffset + kSlotSize && uint64_t{runFileOffset} + kSlotSize <= archiveStart();
}

// Where the first entry, or else the directory, begins.
uint64_t CZipFile::archiveStart()
{
    const std::vector<CZipFileHeader*> headers = headersInFileOrder();
    return headers.empty() ? centralDir_.directoryPosition() : headers.front()->localHeaderOffset;
}

bool CZipFile::getExeParams(CString& installDir, CString& runFile)
{
    uint32_t installDirOffset = 0;
    uint32_t runFileOffset = 0;
    if (!getExeOffsets(installDirOffset, runFileOffset))
        return false;
    installDir = readSlotValue(installDirOffset);
    runFile = readSlotValue(runFileOffset);
    return true;
}

CString CZipFile::readSlotValue(uint32_t offset)
{
    char slot[kSlotSize];
    seekg(offset, begin);
    const uint32_t got = read(slot, kSlotSize, false);
    return CString(slot, strnlen(slot, got));
}

void CZipFile::setExeParams(const CString& installDir, const CString& runFile)
{
    checkParameters(installDir, runFile);
    uint32_t installDirOffset = 0;
    uint32_t runFileOffset = 0;
    if (!getExeOffsets(installDirOffset, runFileOffset))
        return;
    writeSlot(installDirOffset, installDir);
    writeSlot(runFileOffset, runFile);
    seekg(0, end);
}

void CZipFile::writeSlot(uint32_t offset, const CString& value)
{
    char slot[kSlotSize];
    fillSlot(slot, value);
    seekg(offset, begin);
    write(slot, kSlotSize, false);
}
