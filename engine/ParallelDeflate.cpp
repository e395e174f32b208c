#include "ParallelDeflate.h"

#include "ScopedFile.h"
#include "ZipException.h"

#include <zlib.h>

#include <algorithm>

namespace zipdeflate {
namespace {
constexpr int kMemoryLevel = 8;
// Room for what a sync flush adds behind deflate's worst case.
constexpr uint32_t kFlushRoom = 16;
// The zlib failure every other deflate of the engine reports.
constexpr char kFailure[] = "Extraction library error";

class Deflater {
public:
    explicit Deflater(int level)
    {
        if (deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
            throw CZipException(kFailure);
    }
    ~Deflater() { deflateEnd(&stream_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void prime(const char* dictionary, uint32_t length)
    {
        if (length > 0 && deflateSetDictionary(&stream_, bytes(dictionary), length) != Z_OK)
            throw CZipException(kFailure);
    }

    // Sync-flushed, or finished as the stream's end.
    std::vector<char> deflated(const char* input, uint32_t length, bool finish)
    {
        std::vector<char> output(deflateBound(&stream_, length) + kFlushRoom);
        stream_.next_in = bytes(input);
        stream_.avail_in = length;
        stream_.next_out = bytes(output.data());
        stream_.avail_out = static_cast<uInt>(output.size());
        const int result = deflate(&stream_, finish ? Z_FINISH : Z_SYNC_FLUSH);
        if (result != (finish ? Z_STREAM_END : Z_OK) || stream_.avail_in != 0 || stream_.avail_out == 0)
            throw CZipException(kFailure);
        output.resize(output.size() - stream_.avail_out);
        return output;
    }

private:
    static Bytef* bytes(const char* data) { return reinterpret_cast<Bytef*>(const_cast<char*>(data)); }

    z_stream stream_{};
};

Block deflateBlock(const std::vector<char>& input, uint32_t dictionaryLength, int level)
{
    const char* data = input.data() + dictionaryLength;
    Block block;
    block.size = static_cast<uint32_t>(input.size()) - dictionaryLength;
    block.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data), block.size));
    Deflater deflater(level);
    deflater.prime(input.data(), dictionaryLength);
    block.compressed = deflater.deflated(data, block.size, false);
    return block;
}

Block deflateWholeFile(const CString& path, int level)
{
    std::vector<char> input(kBlockSize + 1);
    uint32_t got = 0;
    {
        ScopedFile file(os::openFile(path, os::OpenMode::ReadExisting), "Couldn't open source file " + path);
        if (!os::readFile(file.handle(), input.data(), kBlockSize + 1, got))
            throw CZipLastErrorException("Failed to read input file " + path);
    }
    Block block;
    block.whole = got <= kBlockSize;
    if (!block.whole)
        return block;
    block.size = got;
    block.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(input.data()), got));
    block.compressed = Deflater(level).deflated(input.data(), got, true);
    return block;
}
}

ParallelDeflater::ParallelDeflater(int level, unsigned threads)
    : level_(level), mostPending_(std::max(1u, threads))
{
}

bool ParallelDeflater::full() const
{
    return pending_.size() >= mostPending_;
}

bool ParallelDeflater::empty() const
{
    return pending_.empty();
}

void ParallelDeflater::submit(std::vector<char> input, uint32_t dictionaryLength)
{
    const int level = level_;
    pending_.push_back(std::async(std::launch::async, [input = std::move(input), dictionaryLength, level] {
        return deflateBlock(input, dictionaryLength, level);
    }));
}

Block ParallelDeflater::takeOldest()
{
    std::future<Block> oldest = std::move(pending_.front());
    pending_.pop_front();
    return oldest.get();
}

FilesAhead::FilesAhead(std::vector<CString> paths, int level, unsigned threads)
    : paths_(std::move(paths)), level_(level), threads_(std::max(1u, threads))
{
}

bool FilesAhead::take(size_t index, std::future<Block>& deflated)
{
    for (; nextToStart_ < std::min(paths_.size(), index + threads_); ++nextToStart_) {
        if (paths_[nextToStart_].empty())
            continue;
        started_[nextToStart_] = std::async(std::launch::async, deflateWholeFile, paths_[nextToStart_], level_);
    }
    const auto found = started_.find(index);
    if (found == started_.end())
        return false;
    deflated = std::move(found->second);
    started_.erase(found);
    return true;
}

} // namespace zipdeflate
