#include "ZipRecovery.h"

#include "ZipBytes.h"
#include "ZipExtra.h"
#include "ZipFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

using namespace zipbytes;

namespace ziprecovery {
namespace {

constexpr uint32_t kWindowSize = 1 << 20;
constexpr uint32_t kChunk = 1 << 16;
// Headers that only look like headers cost the bytes read to find them out;
// all of them together get a few passes over the file, and then the search
// ends with what it has.
constexpr uint64_t kPasses = 8;
constexpr uint64_t kSlack = 16 << 20;

// The bytes asked for, read a window at a time: a search through the file
// costs one read per window, not one per position.
class Input {
public:
    explicit Input(CZipFile& archive) : archive_(archive), size_(archive.GetLength()), bytes_(kWindowSize) {}

    uint64_t size() const { return size_; }

    // count (at most a window) bytes from position on, valid until the next
    // call; null when the file ends first.
    const char* at(uint64_t position, uint32_t count)
    {
        if (position > size_ || count > size_ - position)
            return nullptr;
        if (position < start_ || position + count > start_ + filled_)
            fill(position);
        return filled_ - (position - start_) >= count ? bytes_.data() + (position - start_) : nullptr;
    }

private:
    void fill(uint64_t position)
    {
        start_ = position;
        filled_ = 0;
        const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(kWindowSize, size_ - position));
        if (wanted == 0)
            return;
        archive_.seekg(static_cast<int64_t>(position), CZipFile::begin);
        filled_ = archive_.read(bytes_.data(), wanted, false);
    }

    CZipFile& archive_;
    const uint64_t size_;
    std::vector<char> bytes_;
    uint64_t start_ = 0;
    uint32_t filled_ = 0;
};

struct Decoded {
    uint32_t crc = 0;
    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
};

struct Descriptor {
    uint32_t crc = 0;
    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
    uint32_t length = 0;
};

const uint32_t kLocalSignatures[] = {kLocalSignature};
const uint32_t kRecordSignatures[] = {kCentralSignature, kLocalSignature, kEndSignature};

bool isKnownMethod(uint16_t method)
{
    static const uint16_t kMethods[] = {0, 8, 9, 12, 14, 93, 95, 98, zipaes::kMethod};
    return std::find(std::begin(kMethods), std::end(kMethods), method) != std::end(kMethods);
}

// Data whose CRC can be taken here: in the clear, stored or deflated.
bool isCheckable(const CZipFileHeader& header)
{
    return !header.IsEncrypted() && (header.method == 0 || header.method == Z_DEFLATED);
}

// A header that is not that of a whole entry (one that only looks like a
// header, one whose sizes a damaged byte made too large, one whose data the
// end of the file cuts) is passed over, and the search goes on behind its
// signature: the entries after it may well be whole.
class Scanner {
public:
    explicit Scanner(CZipFile& archive)
        : archive_(archive), input_(archive), budget_(kPasses * input_.size() + kSlack), output_(kChunk)
    {
    }

    Search run()
    {
        Search search;
        uint64_t position = 0;
        while (findSignature(position, kLocalSignatures)) {
            Entry entry;
            const bool whole = isWholeEntry(position, entry);
            if (whole) {
                position = entry.end;
                search.entries.push_back(std::move(entry));
            }
            if (budget_ == 0) {
                if (position < input_.size())
                    search.unsearchedFrom = static_cast<int64_t>(position);
                break;
            }
            if (!whole)
                ++position;
        }
        return search;
    }

private:
    bool spend(uint64_t bytes)
    {
        budget_ -= std::min(budget_, bytes);
        return budget_ > 0;
    }

    // The first of the signatures from position on.
    template <size_t N>
    bool findSignature(uint64_t& position, const uint32_t (&signatures)[N])
    {
        while (position + 4 <= input_.size()) {
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kChunk, input_.size() - position));
            const char* bytes = input_.at(position, count);
            if (!bytes)
                return false;
            for (uint32_t i = 0; i + 4 <= count; ++i)
                if (bytes[i] == 'P' && std::find(signatures, signatures + N, get32(bytes + i)) != signatures + N) {
                    position += i;
                    return true;
                }
            position += count - 3;
        }
        return false;
    }

    // A header this system would have written or read: a version it knows,
    // a method it knows of, and a name.
    static bool isPlausible(const char* record)
    {
        return (get16(record + 4) & 0xFF) <= 63 && isKnownMethod(get16(record + 8)) && get16(record + 26) > 0;
    }

    static bool isPlausibleName(const CString& name)
    {
        return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    }

    bool isWholeEntry(uint64_t position, Entry& entry)
    {
        const char* fixed = input_.at(position, kLocalRecordSize);
        if (!fixed)
            return false;
        char record[kLocalRecordSize];
        std::memcpy(record, fixed, sizeof record);
        if (!isPlausible(record))
            return false;
        const uint16_t nameLength = get16(record + 26);
        const uint16_t extraLength = get16(record + 28);
        const char* variable = input_.at(position + kLocalRecordSize, uint32_t{nameLength} + extraLength);
        if (!variable)
            return false;
        const CString name(variable, nameLength);
        if (!isPlausibleName(name))
            return false;
        entry.header = std::make_unique<CZipFileHeader>(&archive_);
        entry.header->readLocalRecord(&archive_, record, name, CString(variable + nameLength, extraLength), position);
        const uint64_t dataStart = position + kLocalRecordSize + nameLength + extraLength;
        return entry.header->IsDataDescr() ? throughDescriptor(*entry.header, dataStart, entry.end)
                                           : withKnownSizes(*entry.header, dataStart, entry.end);
    }

    bool withKnownSizes(const CZipFileHeader& header, uint64_t dataStart, uint64_t& end)
    {
        if (header.compressedSize > input_.size() - dataStart)
            return false;
        end = dataStart + header.compressedSize;
        if (!isCheckable(header))
            return followedByRecord(end);
        Decoded decoded;
        if (!decode(header, dataStart, header.compressedSize, decoded))
            return false;
        const bool matches = decoded.crc == header.crc32 && decoded.compressed == header.compressedSize
                             && decoded.uncompressed == header.uncompressedSize;
        // Nothing in an empty entry vouches for it: a header written ahead
        // of its data looks just like one.
        return matches && (header.compressedSize > 0 || followedByRecord(end));
    }

    // Sizes of zero in the header: the descriptor behind the data has them.
    // Deflated data ends where its stream does; stored or encrypted data
    // ends at the first descriptor whose size is the distance to it.
    bool throughDescriptor(CZipFileHeader& header, uint64_t dataStart, uint64_t& end)
    {
        CString block;
        const bool zip64 = zipextra::find(header.extraField, zipextra::kZip64, block);
        Descriptor descriptor;
        if (isCheckable(header) && header.method == Z_DEFLATED) {
            Decoded decoded;
            if (!decode(header, dataStart, input_.size() - dataStart, decoded)
                || !descriptorAt(dataStart + decoded.compressed, zip64, decoded.compressed, descriptor)
                || descriptor.crc != decoded.crc || descriptor.uncompressed != decoded.uncompressed)
                return false;
        } else if (!findDescriptor(header, dataStart, zip64, descriptor)) {
            return false;
        }
        header.crc32 = descriptor.crc;
        header.compressedSize = descriptor.compressed;
        header.uncompressedSize = descriptor.uncompressed;
        end = dataStart + descriptor.compressed + descriptor.length;
        return true;
    }

    // A descriptor is followed by a record, or by the end of the file, so
    // only where a record begins need one be looked for; the bytes passed
    // on the way are charged.
    bool findDescriptor(const CZipFileHeader& header, uint64_t dataStart, bool zip64, Descriptor& descriptor)
    {
        for (uint64_t from = dataStart;;) {
            uint64_t record = from;
            const bool found = findSignature(record, kRecordSignatures);
            if (!spend((found ? record : input_.size()) - from + 1))
                return false;
            if (!found)
                break;
            if (descriptorEndingAt(record, header, dataStart, zip64, descriptor))
                return true;
            from = record + 1;
        }
        // The end of the file, even one that cuts a record's signature.
        const uint64_t size = input_.size();
        for (uint64_t end = std::max(dataStart, size - std::min<uint64_t>(3, size)); end <= size; ++end)
            if (followedByRecord(end) && descriptorEndingAt(end, header, dataStart, zip64, descriptor))
                return true;
        return false;
    }

    bool descriptorEndingAt(uint64_t end, const CZipFileHeader& header, uint64_t dataStart, bool zip64,
                            Descriptor& descriptor)
    {
        const uint32_t sizesLength = zip64 ? 16 : 8;
        for (uint32_t length : {sizesLength + 8, sizesLength + 4}) {
            if (end - dataStart < length)
                continue;
            const uint64_t at = end - length;
            if (descriptorAt(at, zip64, at - dataStart, descriptor) && descriptor.length == length
                && descriptorVouches(header, dataStart, descriptor))
                return true;
        }
        return false;
    }

    bool descriptorVouches(const CZipFileHeader& header, uint64_t dataStart, const Descriptor& descriptor)
    {
        if (!isCheckable(header))
            return true;
        Decoded decoded;
        return decode(header, dataStart, descriptor.compressed, decoded) && decoded.crc == descriptor.crc
               && decoded.uncompressed == descriptor.uncompressed;
    }

    // A descriptor at this place, with or without its signature, whose
    // compressed size is the one given.
    bool descriptorAt(uint64_t at, bool zip64, uint64_t compressed, Descriptor& descriptor)
    {
        const uint32_t sizesLength = zip64 ? 16 : 8;
        for (uint32_t lead : {4u, 0u}) {
            const char* bytes = input_.at(at, lead + 4 + sizesLength);
            if (!bytes || (lead && get32(bytes) != kDescriptorSignature))
                continue;
            const char* values = bytes + lead;
            descriptor.crc = get32(values);
            descriptor.compressed = zip64 ? get64(values + 4) : get32(values + 4);
            descriptor.uncompressed = zip64 ? get64(values + 12) : get32(values + 8);
            descriptor.length = lead + 4 + sizesLength;
            if (descriptor.compressed == compressed)
                return true;
        }
        return false;
    }

    // The end of the file, or the start of another record, even one the
    // end of the file cuts.
    bool followedByRecord(uint64_t position)
    {
        if (position >= input_.size())
            return position == input_.size();
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(4, input_.size() - position));
        const char* bytes = input_.at(position, count);
        return bytes && std::any_of(std::begin(kRecordSignatures), std::end(kRecordSignatures), [&](uint32_t record) {
                   char expected[4];
                   put32(expected, record);
                   return std::memcmp(bytes, expected, count) == 0;
               });
    }

    // The CRC and sizes of up to limit bytes of data from start on; deflated
    // data must end its stream within them.
    bool decode(const CZipFileHeader& header, uint64_t start, uint64_t limit, Decoded& decoded)
    {
        decoded = Decoded();
        if (header.method == 0)
            return crcOfStored(start, limit, decoded);
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return false;
        const bool ended = inflateFrom(stream, start, limit, decoded);
        inflateEnd(&stream);
        return ended;
    }

    bool crcOfStored(uint64_t start, uint64_t length, Decoded& decoded)
    {
        for (uint64_t done = 0; done < length;) {
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kChunk, length - done));
            const char* bytes = input_.at(start + done, count);
            if (!bytes || !spend(count))
                return false;
            decoded.crc = static_cast<uint32_t>(::crc32(decoded.crc, reinterpret_cast<const Bytef*>(bytes), count));
            done += count;
        }
        decoded.compressed = decoded.uncompressed = length;
        return true;
    }

    // Charged with what inflate took, not with what it was offered: data
    // behind a header that only looks like one mostly fails within bytes.
    bool inflateFrom(z_stream& stream, uint64_t start, uint64_t limit, Decoded& decoded)
    {
        uint64_t taken = 0;
        for (int result = Z_OK; result != Z_STREAM_END;) {
            if (stream.avail_in == 0) {
                const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kChunk, limit - taken));
                const char* bytes = count ? input_.at(start + taken, count) : nullptr;
                if (!bytes)
                    return false;
                stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
                stream.avail_in = count;
                taken += count;
            }
            const uInt offered = stream.avail_in;
            stream.next_out = reinterpret_cast<Bytef*>(output_.data());
            stream.avail_out = kChunk;
            result = inflate(&stream, Z_SYNC_FLUSH);
            if (!spend(offered - stream.avail_in) || (result != Z_OK && result != Z_STREAM_END))
                return false;
            const uint32_t produced = kChunk - stream.avail_out;
            decoded.crc =
                static_cast<uint32_t>(::crc32(decoded.crc, reinterpret_cast<Bytef*>(output_.data()), produced));
            decoded.uncompressed += produced;
        }
        decoded.compressed = taken - stream.avail_in;
        return true;
    }

    CZipFile& archive_;
    Input input_;
    uint64_t budget_;
    std::vector<char> output_;
};

} // namespace

Search findEntries(CZipFile& archive)
{
    return Scanner(archive).run();
}

} // namespace ziprecovery

bool CZipFile::openRecovered(const CString& path)
{
    close();
    password_.clear();
    gzipMode_ = tarMode_ = false;
    exeOffset_ = 0;
    currentDisk_ = 0;
    openForReading(path, os::OpenMode::ReadOnlyAlways);
    std::vector<std::unique_ptr<CZipFileHeader>> headers;
    ziprecovery::Search search = ziprecovery::findEntries(*this);
    unsearchedFrom_ = search.unsearchedFrom;
    for (ziprecovery::Entry& entry : search.entries) {
        recoveredEnds_.push_back(entry.end);
        headers.push_back(std::move(entry.header));
    }
    centralDir_.takeRecovered(std::move(headers));
    if (recoveredEnds_.empty()) {
        close();
        return false;
    }
    recovered_ = true;
    return true;
}

bool CZipFile::isRecovered() const
{
    return recovered_;
}

int64_t CZipFile::recoveryUnsearchedFrom() const
{
    return unsearchedFrom_;
}

CString CZipFile::repairedPath(const CString& path)
{
    const size_t folderEnd = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    const bool hasSuffix = dot != CString::npos && (folderEnd == CString::npos || dot > folderEnd + 1);
    return hasSuffix ? path.substr(0, dot) + ".repaired" + path.substr(dot) : path + ".repaired";
}

// The name is taken first, by a file made anew, so that nothing already
// there is written over; a repair that fails leaves no file behind.
bool CZipFile::writeRepaired(const CString& target)
{
    if (!recovered_)
        throw CZipException("Only an archive read from its local headers can be repaired " + path_);
    const os::FileHandle created = os::openFile(target, os::OpenMode::CreateNew);
    if (created == os::kInvalidFile)
        throw CZipLastErrorException("Couldn't create the repaired archive " + target);
    os::closeFile(created);
    os::FileHandle output = os::openFile(target, os::OpenMode::ReadWriteAlways);
    try {
        if (output == os::kInvalidFile)
            throw CZipLastErrorException("Couldn't create the repaired archive " + target);
        copyRecovered(output, target);
        os::closeFile(file_);
        file_ = output;
        output = os::kInvalidFile;
        path_ = target;
        readOnly_ = recovered_ = false;
        centralDir_.writeAtEnd();
    } catch (...) {
        close();
        if (output != os::kInvalidFile)
            os::closeFile(output);
        os::removeFile(target);
        throw;
    }
    close();
    return openZipFile(target);
}

// Each entry moves up against the one before it. Data in front of the
// first (a self-extractor's program) stays in front, unless it is the
// remains of an entry.
void CZipFile::copyRecovered(os::FileHandle target, const CString& targetPath)
{
    const uint64_t front = centralDir_.getFileHeader(0)->localHeaderOffset;
    char head[4] = {};
    seekg(0, begin);
    const bool frontIsEntry = front >= sizeof head && readExactly(head, sizeof head)
                              && zipbytes::get32(head) == zipbytes::kLocalSignature;
    uint64_t written = 0;
    if (!frontIsEntry) {
        copyBytes(0, front, target, targetPath);
        written = front;
    }
    for (long i = 0; i < getFileCount(); ++i) {
        CZipFileHeader* header = centralDir_.getFileHeader(i);
        const uint64_t length = recoveredEnds_[static_cast<size_t>(i)] - header->localHeaderOffset;
        copyBytes(header->localHeaderOffset, length, target, targetPath);
        header->localHeaderOffset = written;
        written += length;
    }
}

void CZipFile::copyBytes(uint64_t from, uint64_t count, os::FileHandle target, const CString& targetPath)
{
    seekg(static_cast<int64_t>(from), begin);
    while (count > 0) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(count, readBuffer_.size()));
        uint32_t written = 0;
        if (!readExactly(readBuffer_, chunk))
            throw CZipLastErrorException("Bad zip file " + path_);
        if (!os::writeFile(target, readBuffer_, chunk, written) || written != chunk)
            throw CZipLastErrorException("Failed to write the repaired archive " + targetPath);
        count -= chunk;
    }
}
