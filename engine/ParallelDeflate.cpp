#include "ParallelDeflate.h"

#include "ScopedFile.h"
#include "ZipException.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace zipdeflate {
namespace {
constexpr int kMemoryLevel = 8;
// Room for what a sync flush adds behind deflate's worst case.
constexpr uint32_t kFlushRoom = 16;
// The zlib failure every other deflate of the engine reports.
constexpr char kFailure[] = "Extraction library error";
// Files looked at ahead of the writer, per worker: enough that the workers
// never run dry behind a run of tiny files, few enough that what waits
// stays a few blocks per thread.
constexpr size_t kFilesAheadPerThread = 4;

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

    // Ready for a stream of its own, as if it were made anew.
    void reset()
    {
        if (deflateReset(&stream_) != Z_OK)
            throw CZipException(kFailure);
    }

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
}

// Deflaters kept for the whole batch and reset for each small file: made
// anew, one costs more than deflating such a file, its quarter of a
// megabyte taken from the system and given back every time.
class DeflaterStock {
public:
    explicit DeflaterStock(int level) : level_(level) {}

    std::unique_ptr<Deflater> take()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!idle_.empty()) {
                std::unique_ptr<Deflater> deflater = std::move(idle_.back());
                idle_.pop_back();
                return deflater;
            }
        }
        return std::make_unique<Deflater>(level_);
    }

    void giveBack(std::unique_ptr<Deflater> deflater)
    {
        deflater->reset();
        std::lock_guard<std::mutex> lock(mutex_);
        idle_.push_back(std::move(deflater));
    }

private:
    int level_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Deflater>> idle_;
};

namespace {

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

// The file's bytes while they fit in a block, read in one go when the file
// is as large as it said (size); a file that grew since is read on up to a
// block and one byte.
bool readWhole(os::FileHandle file, int64_t size, const CString& path, std::vector<char>& input)
{
    input.resize(size >= 0 && size < kBlockSize ? static_cast<size_t>(size) + 1 : kBlockSize + 1);
    size_t got = 0;
    for (;;) {
        uint32_t more = 0;
        if (!os::readFile(file, input.data() + got, static_cast<uint32_t>(input.size() - got), more))
            throw CZipLastErrorException("Failed to read input file " + path);
        got += more;
        if (got < input.size() || input.size() > kBlockSize)
            break;
        input.resize(kBlockSize + 1);
    }
    input.resize(got);
    return got <= kBlockSize;
}

// A file larger than a block is only opened: the writer reads it in blocks.
Block deflateWholeFile(const CString& path, DeflaterStock& deflaters)
{
    std::vector<char> input;
    Block block;
    {
        ScopedFile file(os::openFile(path, os::OpenMode::ReadExisting), "Couldn't open source file " + path);
        const int64_t size = os::fileSize(file.handle());
        block.whole = size <= static_cast<int64_t>(kBlockSize) && readWhole(file.handle(), size, path, input);
    }
    if (!block.whole)
        return block;
    block.size = static_cast<uint32_t>(input.size());
    block.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(input.data()), block.size));
    std::unique_ptr<Deflater> deflater = deflaters.take();
    block.compressed = deflater->deflated(input.data(), block.size, true);
    deflaters.giveBack(std::move(deflater));
    return block;
}

FileAhead lookAhead(const CString& path, const CString& archivePath, DeflaterStock& deflaters)
{
    FileAhead file;
    file.stamp = stampOf(path);
    file.addable = isAddable(path, file.stamp.attributes, archivePath);
    if (!file.addable)
        return file;
    try {
        file.deflated = deflateWholeFile(path, deflaters);
    } catch (...) {
        file.failure = std::current_exception();
    }
    return file;
}
}

bool isAddable(const CString& path, uint32_t attributes, const CString& archivePath)
{
    return (attributes & os::kAttrDirectory) == 0 && !os::isSameFile(path, archivePath);
}

ParallelDeflater::ParallelDeflater(int level, Workers& workers)
    : level_(level), workers_(workers), mostPending_(std::max(1u, workers.count()))
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
    pending_.push_back(workers_.run([input = std::move(input), dictionaryLength, level] {
        return deflateBlock(input, dictionaryLength, level);
    }));
}

Block ParallelDeflater::takeOldest()
{
    std::future<Block> oldest = std::move(pending_.front());
    pending_.pop_front();
    return oldest.get();
}

FilesAhead::FilesAhead(std::vector<CString> paths, CString archivePath, int level, Workers* workers)
    : paths_(std::move(paths)), archivePath_(std::move(archivePath)),
      deflaters_(std::make_shared<DeflaterStock>(level)), workers_(workers),
      mostAhead_(workers ? kFilesAheadPerThread * workers->count() : 0)
{
}

FileAhead FilesAhead::take(size_t index)
{
    if (!workers_)
        return lookAhead(paths_[index], archivePath_, *deflaters_);
    for (; nextToStart_ < std::min(paths_.size(), index + mostAhead_); ++nextToStart_)
        started_.push_back(workers_->run([path = paths_[nextToStart_], archive = archivePath_, deflaters = deflaters_] {
            return lookAhead(path, archive, *deflaters);
        }));
    std::future<FileAhead> file = std::move(started_.front());
    started_.pop_front();
    return file.get();
}

} // namespace zipdeflate
