#pragma once
// One file deflated in blocks on worker threads, joined into one raw
// deflate stream: each block is primed with the 32 KiB of input in front of
// it and ends on a sync flush, so the blocks follow each other as if one
// stream had made them; an empty final block closes the stream.
#include "ZipString.h"

#include <cstdint>
#include <deque>
#include <future>
#include <map>
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
    // False for a file deflated ahead that had grown past a block by the
    // time it was read: it holds nothing, and is deflated as a large one.
    bool whole = true;
};

class ParallelDeflater {
public:
    ParallelDeflater(int level, unsigned threads);
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
    size_t mostPending_;
    std::deque<std::future<Block>> pending_;
};

// Files of at most a block, each read and deflated whole as one stream
// beside the writer, a few files ahead of it: as many as there are threads.
class FilesAhead {
public:
    // paths: the files in the order they are written, empty for those the
    // writer deflates itself.
    FilesAhead(std::vector<CString> paths, int level, unsigned threads);
    FilesAhead(const FilesAhead&) = delete;
    FilesAhead& operator=(const FilesAhead&) = delete;

    // Whether file index was deflated ahead; its block then waits in
    // deflated, and the files behind it are started.
    bool take(size_t index, std::future<Block>& deflated);

private:
    std::vector<CString> paths_;
    int level_;
    size_t threads_;
    size_t nextToStart_ = 0;
    std::map<size_t, std::future<Block>> started_;
};

} // namespace zipdeflate
