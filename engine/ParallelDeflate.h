#pragma once
// One file deflated in blocks on worker threads, joined into one raw
// deflate stream: each block is primed with the 32 KiB of input in front of
// it and ends on a sync flush, so the blocks follow each other as if one
// stream had made them; an empty final block closes the stream.
#include <cstdint>
#include <deque>
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

} // namespace zipdeflate
