#pragma once
// Shared by the engine tests: sample archives, a private scratch folder per
// test, a scripted callback, and access to the engine's private helpers.
#include "ZipFile.h"

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// A committed sample from tests/testdata.
std::string testdata(const std::string& name);
// A fresh, empty folder for the running test (with a trailing separator).
std::string scratchFolder();
std::string join(const std::string& folder, const std::string& name);
// With everything below it, however deep.
void removeFolder(const std::string& folder);

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
std::string copyToScratch(const std::string& sample);

// The lines of a sample's ".list" file.
std::vector<std::string> expectedListing(const std::string& sample);
// The entries of python_languages.zip, names in Chinese, Greek, Arabic and
// with an emoji, as Python wrote them: each holds its own stored name.
constexpr char kLanguagesSample[] = "python_languages.zip";
std::vector<std::string> languageNames();
// A stored name as a path below a folder, with the system's separators.
std::string localName(std::string storedName);
// The same format made from what the engine reports.
std::vector<std::string> listing(const CZipFile& archive);

// The message with which opening the archive at path fails, or "opened".
std::string openingFailure(const std::string& path);

// The message of the engine failure that action ends with, or "no exception".
template <typename Action>
std::string messageOf(Action action)
{
    try {
        action();
    } catch (const CZipException& error) {
        return error.getMessage();
    }
    return "no exception";
}

// A file that adding fails on, and the start of the message it gives: one
// that opens but cannot be read, or, on Windows, one held locked meanwhile.
class UnreadableFile {
public:
    explicit UnreadableFile(const std::string& folder);
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

    std::string path;
    std::string message;

private:
    os::FileHandle lock_ = os::kInvalidFile;
};

// Reads entry index to its end.
std::string readEntry(CZipFile& archive, int index);
int indexOf(const CZipFile& archive, const std::string& storedName);

class ScriptedCallBack : public ICallBack {
public:
    bool askForDisk(int disk) override;
    bool askForSpanning() override { return spanning; }
    bool askForPassword(CString& password) override;
    CString getPassword() override { return passwordForAdding; }
    Encryption getEncryption() override { return encryptionForAdding; }
    void setStatusText(CString text) override { statusTexts.push_back(text); }
    bool checkForUserCancel() override { return cancelAt >= 0 && cancelChecks++ >= cancelAt; }

    bool spanning = false;
    std::vector<int> disksAsked;
    bool acceptDisks = false;
    std::string passwordToGive;
    int passwordPrompts = 0;
    std::string passwordForAdding;
    Encryption encryptionForAdding = Encryption::ZipCrypto;
    std::vector<std::string> statusTexts;
    int cancelAt = -1;
    int cancelChecks = 0;
};

} // namespace testing_support

// The engine befriends this class so that tests can reach its private helpers.
class ZipFileTestAccess {
public:
    static void checkForError(int result) { CZipFile::CheckForError(result); }
    static CString convertName(CZipFile& archive, const CString& name, bool toWindows)
    {
        return archive.convertName(name, toWindows);
    }
    static CZipCentralDir& centralDir(CZipFile& archive) { return archive.getCentralDir(); }
    static void removeSingleFile(CZipFile& archive, long index) { archive.removeSingleFile(index); }
    // The bytes an entry takes in the file, as a change measures them.
    static uint64_t storedSizeOf(CZipFile& archive, const CZipFileHeader& header)
    {
        for (const CZipFile::Extent& extent : archive.entryExtents())
            if (extent.header == &header)
                return extent.size;
        return 0;
    }
    static uint32_t cryptCrc32(uint32_t crc, char c) { return CZipFile::CryptCRC32(crc, c); }
    // The second half of a conversion: the program file already holds the
    // stub followed by the archive.
    static void reopenAsExe(CZipFile& archive, const CString& exe, uint32_t stubLength)
    {
        archive.reopenAsExe(exe, stubLength);
    }
    // Conversion with any stub, not only the one beside the test program.
    static bool writeExe(CZipFile& archive, const CString& stub, const CString& exe, const CString& installDir,
                         const CString& runFile)
    {
        return archive.writeExe(stub, exe, installDir, runFile);
    }
};

namespace testing_support {

// Little-endian record fields.
std::string field16(uint16_t value);
std::string field32(uint32_t value);
std::string field64(uint64_t value);

// Hand-made archives for the cases no peer tool writes: lying lengths,
// mismatched local headers, unusual methods.
struct RawEntry {
    RawEntry(std::string entryName, std::string bytes) : name(std::move(entryName)), data(std::move(bytes)) {}

    std::string name;
    std::string data;          // bytes as stored in the archive
    uint16_t method = 0;
    uint16_t flags = 0;
    std::optional<uint32_t> uncompressedSize;  // default: the size of data
    uint32_t crc = 0;
    bool crcOfData = true;     // crc is computed from data
    bool zeroLocalCrcAndSizes = false;
    uint16_t localMethod = 0xFFFF;  // default: method
    std::string localExtra;
    std::string centralExtra;
    uint32_t externalAttributes = 0;
};

// leading: bytes in front of the first entry (a program's head); offsets
// count from the start of the file, as in a self-extracting program.
std::string buildZip(const std::vector<RawEntry>& entries, const std::string& comment = std::string(),
                     bool reverseDirectory = false, const std::string& leading = std::string());
// An entry holding content deflated (method 8), as buildZip takes it.
RawEntry deflated(const std::string& name, const std::string& content);
// Offset of the end record in an archive made by buildZip (no comment).
size_t endRecordOffset(const std::string& archive);

} // namespace testing_support
