#pragma once
#include "EngineApi.h"
#include "CallBack.h"
#include "GZipFile.h"
#include "ParallelExtract.h"
#include "TarFile.h"
#include "ZipAes.h"
#include "ZipBuffer.h"
#include "ZipCentralDir.h"
#include "ZipException.h"
#include "ZipFileHeader.h"
#include "ZipString.h"
#include "os/Os.h"

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace zipdeflate {
struct Block;
struct FileAhead;
class Workers;
}
namespace zipextract {
class PlannedRun;
class Handout;
}

// The one object through which a program works on an archive: a zip archive
// it can read and change, or a tar or gzip file it can only read.
class PACKROOK_ENGINE_API CZipFile {
public:
    enum eMoveMode { begin = 0, current = 1, end = 2 };

    explicit CZipFile(ICallBack* callback);
    ~CZipFile();
    CZipFile(const CZipFile&) = delete;
    CZipFile& operator=(const CZipFile&) = delete;

    // Opening and closing
    bool openZipFile(const CString& path);
    bool createNewZip(CString path);
    bool parseCentralDir();
    // An archive without a usable directory, read from its local headers:
    // every entry whose data is all there, read-only. False when none is.
    bool openRecovered(const CString& path);
    bool isRecovered() const;
    // Where the last openRecovered stopped looking for entries, its work spent
    // before the end of the file; -1 when it looked through the whole file.
    int64_t recoveryUnsearchedFrom() const;
    // Writes the recovered entries, and any data in front of them, to a new
    // file with a fresh directory, and opens that; the damaged archive stays
    // as it is. A file already at target is never overwritten.
    bool writeRepaired(const CString& target);
    // Where a repair writes by default: "name.zip" becomes "name.repaired.zip".
    static CString repairedPath(const CString& path);
    void close();
    bool is_open() const;
    bool fail() const;
    bool isReadOnly() const;
    bool isBufferedMode() const;
    bool isSpanningMode() const;
    bool isGzipMode() const;
    bool isTarMode() const;
    void setSpanningMode(bool spanning);
    unsigned short GetCurrentDisk() const;
    void setCurrentDisk(unsigned short disk);
    uint32_t getExeOffset() const;
    CString getPath() const;
    CString getGlobalComment() const;
    void setGlobalComment(const CString& comment);
    void setPassword(const CString& password);
    // Threads that read and deflate the files ahead of the writer and a large
    // file's blocks side by side; 0 means one per core, 1 deflates each file
    // as one stream on the calling thread.
    void setThreadCount(unsigned count);
    unsigned threadCount() const;

    // Byte stream over the archive file
    uint32_t read(char* buffer, uint32_t count, bool mayContinueOnNextDisk);
    uint32_t write(const char* buffer, uint32_t count, bool keepWhole);
    void seekg(int64_t offset, eMoveMode mode);
    int64_t tellg() const;
    void flush();
    uint64_t GetLength() const;
    void setEndOfFile();

    // Listing. The 32-bit sizes say 0xFFFFFFFF for 4 GiB or more; the 64-bit
    // ones always tell the true size.
    long getFileCount() const;
    const CZipFileHeader* getFileHeader(long index) const;
    uint32_t getCompressedSize(int index) const;
    uint32_t getUncompressedSize(int index) const;
    uint64_t getCompressedSize64(int index) const;
    uint64_t getUncompressedSize64(int index) const;
    uint32_t getCRC(int index) const;
    CString getFileName(int index) const;
    CString getPath(int index) const;
    CString getAttributes(int index) const;
    // "AES-256", "ZipCrypto" and the like; empty for an entry in the clear.
    CString getEncryptionName(int index) const;
    CString getCurrentOpenFilePath() const;
    CString getCurrentOpenFileFileName() const;

    // Reading entries
    bool openFile(int index);
    uint32_t readFile(void* buffer, uint32_t size);
    bool closeFile(int index);
    // Extracts the jobs' entries, each whole or not at all, each worker
    // thread (threadCount() of them) with its own reader on this archive, and
    // returns once every entry begun is done and reported. Prompts, status
    // texts and Cancel (looked at between entries) stay on the caller's
    // thread. Spanned sets, tar and gzip files, and one thread, extract in
    // turn on the caller's thread through this reader.
    void extractInParallel(const std::vector<ExtractJob>& jobs, const ExtractReport& report);

    // Changing the archive
    bool addNewFiles(std::vector<CString>& files, uint32_t option, bool keepFolderNames,
                     bool replaceExisting);
    void removeSomeFiles(std::vector<CZipFileHeader*>& headers);
    void removeSomeFiles(std::vector<int32_t>& indexes);
    // Adding, deleting, a new comment and conversion would be refused: the
    // archive's records contradict each other or the file.
    bool refusesChanges();

    // Self-extracting programs
    bool convertToExe(const CString& exePath, const CString& installDir, const CString& runFile);
    bool getExeParams(CString& installDir, CString& runFile);
    void setExeParams(const CString& installDir, const CString& runFile);

    // Spanned sets on removable drives
    bool askForSpecificDisk(int disk);
    bool askForNextDisk();

    static void* _zliballoc(void* opaque, unsigned items, unsigned size);
    static void _zlibfree(void* opaque, void* block);

private:
    friend class CZipCentralDir;
    friend class CZipFileHeader;
    friend class ZipFileTestAccess;

    using AllocationMap = std::map<void*, void*>;

    void Open(const CString& path);
    // Opens path for reading only, or throws the system's reason.
    void openForReading(const CString& path, os::OpenMode mode);
    bool openReader(const CString& path);
    uint32_t rawWrite(const char* buffer, uint32_t count, bool keepWhole);
    uint32_t writeHere(const char* buffer, uint32_t count);
    uint32_t writeSome(const char* buffer, uint32_t count);
    bool readExactly(char* buffer, uint32_t count);
    int64_t myGetFileSize() const;
    uint64_t recordBase() const;
    static void CheckForError(int zlibResult);
    void EmptyPtrList();
    CZipCentralDir& getCentralDir();
    const CZipFileHeader* getCurrentOpenFile() const;
    bool isRemovableDrive(const CString& path) const;
    uint32_t GetDeviceFreeSpace(const CString& path) const;

    // Spanned sets
    bool isBufferedSpanning() const;
    uint32_t spanPending() const;
    uint32_t roomOnDisk() const;
    uint32_t spanningWrite(const char* buffer, uint32_t count, bool keepWhole);
    uint32_t bufferedWrite(const char* buffer, uint32_t count, bool keepWhole);
    bool makeRoomOnDisk(uint32_t count);
    void nextDiskOrFail();
    void nextDiskForBuffer();
    void writePending();
    void leaveBufferedMode(bool writeOut);
    bool isDirectoryOnCurrentDisk() const;

    // Reading entries
    void takeFirstInput(uint32_t dataStart, uint32_t got);
    // Extracting many entries (ParallelExtract.cpp)
    bool extractUntilPasswordKnown(zipextract::PlannedRun& run, size_t& job, const ExtractReport& report);
    void reportInOrder(zipextract::PlannedRun& run, size_t first, zipextract::Handout& handout,
                       const ExtractReport& report);
    void extractInTurn(zipextract::PlannedRun& run, size_t first, const ExtractReport& report);
    bool goOn(const ExtractJob& job, const CString& error, const ExtractReport& report);
    bool openableBySeveral() const;
    void openBeside(const CString& path, const CString& password);
    bool refillInput();
    bool takeInput(char* bytes, uint32_t count);
    void decryptInput();
    void copyStored();
    bool inflateSome();
    void endInflate();
    void checkFinishedEntry();
    CString currentName() const;

    // Adding
    void refuseOversizedSpan(const std::vector<CString>& files, bool keepFolderNames);
    std::vector<CZipFileHeader*> entriesNamedLike(const std::vector<CString>& files, bool keepFolderNames);
    void removeReplaced(std::vector<CZipFileHeader*> replaced, int firstNew);
    void addEachFile(const std::vector<CString>& files, bool keepFolderNames, int level, uint64_t& addedEnd);
    void dropUnfinishedEntry(uint64_t addedEnd);
    void addWholeOrNothing(const CString& path, bool keepFolderNames, int level, const zipdeflate::FileAhead& file,
                           zipdeflate::Workers* workers);
    void keepWhatIsIntact(const std::vector<CZipFileHeader*>& replaced, int firstNew, uint64_t dataEnd,
                          uint64_t addedEnd);
    void addSingleNewFile(const CString& path, bool keepFolderNames, bool encrypt, int level,
                          const zipdeflate::FileAhead& file, zipdeflate::Workers* workers);
    void addDeflatedAhead(const CString& name, const CString& path, const zipdeflate::FileAhead& file, bool encrypt);
    CString entryNameFor(const CString& path, bool keepFolderNames);
    CZipFileHeader& startEntry(const CString& name, const FileStamp& stamp, bool mayReachZip64, bool encrypt);
    // Writes an entry's data, before any encryption, to the archive or to a
    // temporary file.
    using EntryData = std::function<void(os::FileHandle target)>;
    void writeEntry(CZipFileHeader& header, const CString& path, bool encrypt, const EntryData& writeData);
    void compressEntry(CZipFileHeader& header, bool encrypt, const EntryData& writeData, os::FileHandle target);
    void writeDeflated(const zipdeflate::Block& deflated, CZipFileHeader& header, os::FileHandle target);
    void deflateSource(os::FileHandle source, const CString& path, CZipFileHeader& header, int level,
                       os::FileHandle target);
    void deflateInBlocks(os::FileHandle source, const CString& path, CZipFileHeader& header, int level,
                         zipdeflate::Workers& workers, os::FileHandle target);
    void writeBlock(const char* bytes, size_t count, os::FileHandle target, CZipFileHeader& header);
    void writeCompressed(uint32_t count, os::FileHandle target, CZipFileHeader& header);
    void encryptOutput(uint32_t count);
    void writeEntryData(uint32_t count, os::FileHandle target);
    void finishEntryInPlace(CZipFileHeader& header);
    void finishSpannedEntry(CZipFileHeader& header, os::FileHandle temporary);
    void copyFromTemporary(os::FileHandle temporary, uint64_t size);
    void refuseSizesPastReservation(const CZipFileHeader& header, const CString& path) const;
    void writeDescriptor(const CZipFileHeader* header);
    void restoreDirectory(uint64_t dataEnd);
    CString convertName(CString name, bool toWindows);

    // Removing. An extent is where an entry lies in the file: from its local
    // header to the end of its data.
    struct Extent {
        CZipFileHeader* header;
        uint64_t start;
        uint64_t size;
        bool removed;
    };
    void removeSingleFile(long index);
    bool isSpannedSet() const;
    bool canRemoveEntries() const;
    std::vector<CZipFileHeader*> headersInFileOrder();
    std::vector<Extent> refuseUnsafeChange();
    bool directoryAgrees() const;
    std::vector<Extent> entryExtents();
    uint64_t squeezeOutRemoved(std::vector<Extent>& extents, uint64_t dataEnd);
    uint64_t MovePackedFiles(const std::vector<Extent>& extents, size_t first, uint64_t dataEnd, uint64_t& frontier);
    uint64_t windowEnd(const std::vector<Extent>& extents, size_t i, uint64_t from, uint64_t until) const;
    uint32_t dropRemovedBytes(const std::vector<Extent>& extents, size_t i, uint64_t from, uint64_t until);
    void settleEntries(const std::vector<Extent>& extents, uint64_t frontier, bool completed);

    // Recovery
    void copyRecovered(os::FileHandle target, const CString& targetPath);
    void copyBytes(uint64_t from, uint64_t count, os::FileHandle target, const CString& targetPath);

    // Self-extracting programs
    class ExeTarget;
    bool writeExe(const CString& stubPath, const CString& exePath, const CString& installDir,
                  const CString& runFile);
    uint32_t readStub(const CString& stubPath, const CString& installDir, const CString& runFile);
    void appendArchive(ExeTarget& target);
    void reopenAsExe(const CString& exePath, uint32_t stubLength);
    bool getExeOffsets(uint32_t& installDirOffset, uint32_t& runFileOffset);
    uint64_t archiveStart();
    CString readSlotValue(uint32_t offset);
    void writeSlot(uint32_t offset, const CString& value);

    // Traditional encryption
    void requirePassword();
    void CryptInitKeys();
    void CryptUpdateKeys(char c);
    static uint32_t CryptCRC32(uint32_t crc, char c);
    char CryptDecryptByte() const;
    void CryptEncode(char& c);
    void CryptDecode(char& c);
    void CryptEncodeBuffer(CZipBuffer& buffer, uint32_t count);
    void CryptDecodeBuffer();
    void CryptCryptHeader(uint32_t check, CZipBuffer& buffer);
    bool CryptCheck();

    // AES encryption: reading
    bool AesOpenEntry();
    void AesDecodeInput();
    bool AesCodeMatches();
    // AES encryption: writing
    void AesPrepareHeader(CZipFileHeader& header) const;
    void AesStartEntry(os::FileHandle target);
    void AesFinishEntry(CZipFileHeader& header, os::FileHandle target);

    z_stream stream_{};
    uint64_t uncompressedLeft_ = 0;
    uint64_t compressedLeft_ = 0;
    uint32_t runningCrc_ = 0;
    CZipBuffer readBuffer_;
    bool entryOpen_ = false;
    bool inflateActive_ = false;
    int32_t currentDisk_ = -1;
    CString path_;
    CZipCentralDir centralDir_;
    CGZipFile gzipReader_;
    CTarFile tarReader_;
    os::FileHandle file_;
    bool good_ = false;
    bool spanningMode_ = false;
    bool gzipMode_ = false;
    bool tarMode_ = false;
    ICallBack* callback_;
    bool bufferedMode_ = false;
    CString password_;
    uint32_t keys_[3] = {};
    Encryption encryption_ = Encryption::ZipCrypto;
    // The AES entry being read or written; its encrypted bytes not yet
    // decrypted, and the authentication code read behind them.
    std::unique_ptr<zipaes::Cipher> aes_;
    uint64_t aesDataLeft_ = 0;
    CString aesCodeRead_;
    uint32_t exeOffset_ = 0;
    CZipBuffer inputBuffer_;
    CZipBuffer outputBuffer_;
    bool readOnly_ = true;
    unsigned threadCount_;
    // Read from local headers: where each entry's bytes end, in entry order.
    bool recovered_ = false;
    std::vector<uint64_t> recoveredEnds_;
    int64_t unsearchedFrom_ = -1;
    AllocationMap allocations_;
};
