#pragma once
// One file deflated in blocks on worker threads, joined into one raw
// deflate stream: each block is primed with the 32 KiB of input in front of
// it and ends on a sync flush, so the blocks follow each other as if one
// stream had made them; an empty final block closes the stream.
#include "Workers.h"
#include "ZipFileHeader.h"
#include "ZipString.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <future>
#include <vector>

namespace zipdeflate {

// Large enough that the sync flushes and the lost matches across a block's
// start cost well under 1%, small enough that a few per thread stay cheap.
constexpr uint32_t kBlockSize = 1u << 19;
constexpr uint32_t kWindowSize = 1u << 15;
// A final block of fixed codes holding nothing but its end.
constexpr char kFinalBlock[] = {0x03, 0x00};

struct Block {
    std::vector<char> compressed;
    uint32_t crc = 0;
    uint32_t size = 0;
    // False for a file larger than a block, or grown past one by the time
    // it was read: it holds nothing, and is deflated as it is written.
    bool whole = true;
};

class ParallelDeflater {
public:
    ParallelDeflater(int level, Workers& workers);
    ParallelDeflater(const ParallelDeflater&) = delete;
    ParallelDeflater& operator=(const ParallelDeflater&) = delete;

    // Whether every thread has a block: one block per thread is on its way at
    // most, so memory stays a few blocks per thread whatever the file's size.
    bool full() const;
    bool empty() const;
    // input holds the dictionary (its first dictionaryLength bytes) and then
    // the block itself.
    void submit(std::vector<char> input, uint32_t dictionaryLength);
    // The oldest block, once it is done; a worker's failure is thrown here.
    Block takeOldest();

private:
    int level_;
    Workers& workers_;
    size_t mostPending_;
    std::deque<std::future<Block>> pending_;
};

// Folders and missing paths (attributes: the path's) are passed over; so is
// the archive itself, which would otherwise read its own growing end.
bool isAddable(const CString& path, uint32_t attributes, const CString& archivePath);

class DeflaterStock;

// What is learnt of a file ahead of the writer, so that the writer has
// nothing left to ask of it but, for a large file, its bytes.
struct FileAhead {
    bool addable = false;
    FileStamp stamp;
    Block deflated;
    // Opening or reading failed; thrown when the file's turn comes.
    std::exception_ptr failure;
};

// Every file is looked at, and those of at most a block read, CRC'd and
// deflated whole as one stream, on the workers a bounded number of files
// ahead of the writer; without workers, each in its turn.
class FilesAhead {
public:
    // paths: the files in the order they are written.
    FilesAhead(std::vector<CString> paths, CString archivePath, int level, Workers* workers);
    FilesAhead(const FilesAhead&) = delete;
    FilesAhead& operator=(const FilesAhead&) = delete;

    // File index, once it is done; the files behind it are started. Every
    // file is taken once, in order.
    FileAhead take(size_t index);

private:
    std::vector<CString> paths_;
    CString archivePath_;
    // Shared with the tasks, which may outlast this.
    std::shared_ptr<DeflaterStock> deflaters_;
    Workers* workers_;
    size_t mostAhead_;
    size_t nextToStart_ = 0;
    // The files from index on, up to nextToStart_.
    std::deque<std::future<FileAhead>> started_;
};

} // namespace zipdeflate
