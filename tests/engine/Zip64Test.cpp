// Archives past the classic limits (more than 65,535 entries, entries and
// offsets past 4 GiB), and archives within them, written exactly as before.
#include "TestSupport.h"

#include "ZipBytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#ifdef _WIN32
#include <sys/utime.h>
#else
#include <utime.h>
#endif

using namespace testing_support;
namespace fs = std::filesystem;

namespace {
constexpr uint64_t kBigSize = (4ull << 30) + 100;
constexpr uint32_t kAllOnes = 0xFFFFFFFF;

uint32_t crcOf(const std::string& bytes)
{
    return crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
}

uint32_t crcOfZeros(uint64_t count)
{
    const std::string mebibyte(1 << 20, '\0');
    const uint32_t whole = crcOf(mebibyte);
    uint32_t crc = 0;
    for (; count >= mebibyte.size(); count -= mebibyte.size())
        crc = crc32_combine(crc, whole, static_cast<z_off_t>(mebibyte.size()));
    return crc32(crc, reinterpret_cast<const Bytef*>(mebibyte.data()), static_cast<uInt>(count));
}

std::string zip64Block(const std::vector<uint64_t>& values)
{
    std::string data;
    for (uint64_t value : values)
        data += field64(value);
    return field16(1) + field16(static_cast<uint16_t>(data.size())) + data;
}

// Stored entries, as 7-Zip and Python write them past the limits.
std::string localRecord(const std::string& name, uint32_t crc, uint32_t size, const std::string& extra)
{
    return field32(zipbytes::kLocalSignature) + field16(45) + field16(0) + field16(0) + field32(0x3C210000)
           + field32(crc) + field32(size) + field32(size) + field16(static_cast<uint16_t>(name.size()))
           + field16(static_cast<uint16_t>(extra.size())) + name + extra;
}

std::string centralRecord(const std::string& name, uint32_t crc, uint32_t size, uint32_t offset,
                          const std::string& extra)
{
    return field32(zipbytes::kCentralSignature) + field16(45) + field16(45) + field16(0) + field16(0)
           + field32(0x3C210000) + field32(crc) + field32(size) + field32(size)
           + field16(static_cast<uint16_t>(name.size())) + field16(static_cast<uint16_t>(extra.size()))
           + field16(0) + field16(0) + field16(0) + field32(0) + field32(offset) + name + extra;
}

// A stored entry of zeros past 4 GiB that takes no room on disk, and two
// small entries behind it, each holding its own name; leading bytes come in
// front, with the offsets counting from the archive's own start.
std::string writePast4GiB(const std::string& path, const std::string& leading = std::string())
{
    const uint32_t bigCrc = crcOfZeros(kBigSize);
    const std::string head = localRecord("big.bin", bigCrc, kAllOnes, zip64Block({kBigSize, kBigSize}));
    std::string directory = centralRecord("big.bin", bigCrc, kAllOnes, 0, zip64Block({kBigSize, kBigSize}));
    std::string tail;
    for (const std::string name : {"after.txt", "last.txt"}) {
        const uint64_t offset = head.size() + kBigSize + tail.size();
        directory += centralRecord(name, crcOf(name), static_cast<uint32_t>(name.size()), kAllOnes,
                                   zip64Block({offset}));
        tail += localRecord(name, crcOf(name), static_cast<uint32_t>(name.size()), "") + name;
    }
    const uint64_t directoryOffset = head.size() + kBigSize + tail.size();
    const std::string zip64End = field32(zipbytes::kZip64EndSignature) + field64(44) + field16(45) + field16(45)
                                 + field32(0) + field32(0) + field64(3) + field64(3) + field64(directory.size())
                                 + field64(directoryOffset);
    const std::string locator = field32(zipbytes::kZip64LocatorSignature) + field32(0)
                                + field64(directoryOffset + directory.size()) + field32(1);
    const std::string end = field32(zipbytes::kEndSignature) + field16(0) + field16(0) + field16(3) + field16(3)
                            + field32(static_cast<uint32_t>(directory.size())) + field32(kAllOnes) + field16(0);
    writeBytes(path, leading + head);
    fs::resize_file(path, leading.size() + head.size() + kBigSize);
    std::ofstream(path, std::ios::binary | std::ios::app) << tail + directory + zip64End + locator + end;
    return path;
}

// The bytes in front of the end record (whose comment is given): a ZIP64
// locator when the archive is past the limits.
std::string locatorBeforeEnd(const std::string& path, const std::string& comment)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(-static_cast<std::streamoff>(zipbytes::kEndRecordSize + comment.size() + zipbytes::kZip64LocatorSize),
             std::ios::end);
    std::string signature(4, '\0');
    in.read(&signature[0], 4);
    return signature;
}

const std::string kLocator("PK\x06\x07", 4);

std::vector<std::string> names(const CZipFile& archive)
{
    std::vector<std::string> result;
    for (int i = 0; i < archive.getFileCount(); ++i)
        result.push_back(archive.getFileHeader(i)->name);
    return result;
}

void setModificationTime(const std::string& path, std::time_t seconds)
{
#ifdef _WIN32
    struct _utimbuf times{seconds, seconds};
    _utime(path.c_str(), &times);
#else
    struct utimbuf times{seconds, seconds};
    utime(path.c_str(), &times);
#endif
}

// The same steps with the same files, times and options give the same bytes.
std::string writeRepresentativeArchive(const std::string& folder)
{
#ifdef _WIN32
    _putenv_s("TZ", "UTC0");
    _tzset();
#else
    setenv("TZ", "UTC0", 1);
    tzset();
#endif
    std::mt19937 generator(7);
    std::string noise(70000, '\0');
    for (char& c : noise)
        c = static_cast<char>(generator());
    std::string text;
    for (int line = 0; text.size() < 100000; ++line)
        text += "line " + std::to_string(line) + " of a text that compresses well\n";
    const struct {
        const char* name;
        std::string content;
        uint32_t option;
    } files[] = {{"notes.txt", text, 0}, {"noise.bin", noise, 0}, {"empty.txt", "", 0},
                 {"gone.txt", "removed again", 0}, {"fast.txt", text.substr(0, 5000), 1},
                 {"max.txt", text.substr(0, 20000), 2}, {"none.txt", text.substr(0, 3000), 3}};
    const std::string archivePath = folder + "classic.zip";
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    archive.createNewZip(archivePath);
    std::time_t time = 1262347200;  // 2010-01-01 12:00
    for (const auto& file : files) {
        const std::string path = folder + file.name;
        writeBytes(path, file.content);
        setModificationTime(path, time);
        time += 3599;
        std::vector<CString> paths{path};
        archive.addNewFiles(paths, file.option, false, true);
    }
    std::vector<int32_t> gone{3};
    archive.removeSomeFiles(gone);
    archive.setGlobalComment("an archive within the classic limits");
    archive.close();
    return archivePath;
}
}

// packrook_classic.zip was written by these very steps, by the engine as it
// was before it knew ZIP64 or UTF-8 names.
TEST(Zip64, ArchivesWithinTheClassicLimitsAreWrittenAsBefore)
{
    EXPECT_TRUE(readBytes(writeRepresentativeArchive(scratchFolder())) == readBytes(testdata("packrook_classic.zip")));
}

TEST(Zip64, EntriesAndOffsetsPast4GiBListAndRead)
{
    const std::string path = writePast4GiB(scratchFolder() + "past.zip");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(names(archive), std::vector<std::string>({"big.bin", "after.txt", "last.txt"}));
    EXPECT_EQ(archive.getUncompressedSize64(0), kBigSize);
    EXPECT_EQ(archive.getCompressedSize64(0), kBigSize);
    EXPECT_EQ(archive.getUncompressedSize(0), kAllOnes) << "the 32-bit size says it cannot tell";
    EXPECT_EQ(readEntry(archive, 1), "after.txt");
    EXPECT_EQ(readEntry(archive, 2), "last.txt");
    // Counting in 32 bits, the entry would end after its first 100 bytes.
    std::vector<char> chunk(1000000, 'x');
    archive.openFile(0);
    EXPECT_EQ(archive.readFile(chunk.data(), static_cast<uint32_t>(chunk.size())), chunk.size());
    archive.closeFile(0);
    EXPECT_EQ(chunk, std::vector<char>(chunk.size(), '\0'));
    archive.close();
    fs::remove(path);
}

TEST(Zip64, DeletingAddingAndACommentPast4GiB)
{
    const std::string path = writePast4GiB(scratchFolder() + "past.zip");
    const std::string added = scratchFolder() + "new.txt";
    writeBytes(added, "new");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    const uint64_t afterOffset = archive.getFileHeader(1)->localHeaderOffset;
    std::vector<int32_t> after{1};
    archive.removeSomeFiles(after);
    std::vector<CString> files{added};
    ASSERT_TRUE(archive.addNewFiles(files, 0, false, true));
    archive.setGlobalComment("past 4 GiB");
    archive.close();
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(names(archive), std::vector<std::string>({"big.bin", "last.txt", "new.txt"}));
    EXPECT_EQ(archive.getFileHeader(1)->localHeaderOffset, afterOffset) << "moved down past 4 GiB";
    EXPECT_EQ(readEntry(archive, 1), "last.txt");
    EXPECT_EQ(readEntry(archive, 2), "new");
    EXPECT_EQ(archive.getGlobalComment(), "past 4 GiB");
    EXPECT_EQ(locatorBeforeEnd(path, "past 4 GiB"), kLocator);
    archive.close();
    fs::remove(path);
}

// The second half of a conversion, after the archive was copied behind the stub.
TEST(Zip64, ConversionPast4GiBCountsOffsetsFromTheProgramsStart)
{
    const std::string stub(1000, 'S');
    const std::string exe = writePast4GiB(scratchFolder() + "setup.exe", stub);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ZipFileTestAccess::reopenAsExe(archive, exe, static_cast<uint32_t>(stub.size()));
    archive.close();
    ASSERT_TRUE(archive.openZipFile(exe));
    EXPECT_EQ(ZipFileTestAccess::centralDir(archive).recordBase(), 0u) << "no offset counts from the archive";
    EXPECT_EQ(archive.getFileHeader(0)->localHeaderOffset, stub.size());
    EXPECT_EQ(readEntry(archive, 2), "last.txt");
    archive.close();
    fs::remove(exe);
}

TEST(Zip64, MoreThan65535Entries)
{
    std::vector<RawEntry> entries;
    for (int i = 0; i < 0xFFFF; ++i)
        entries.emplace_back("e" + std::to_string(i), "");
    const std::string path = scratchFolder() + "many.zip";
    writeBytes(path, buildZip(entries));
    std::vector<CString> files{scratchFolder() + "a.txt", scratchFolder() + "b.txt"};
    writeBytes(files[0], "a");
    writeBytes(files[1], "b");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_TRUE(archive.addNewFiles(files, 0, false, true));
    archive.close();
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 0x10001);
    EXPECT_EQ(readEntry(archive, 0x10000), "b");
    EXPECT_EQ(locatorBeforeEnd(path, ""), kLocator);
    std::vector<int32_t> first{0};
    archive.removeSomeFiles(first);
    archive.close();
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(archive.getFileCount(), 0x10000);
    EXPECT_EQ(archive.getFileHeader(0)->name, "e1");
}
