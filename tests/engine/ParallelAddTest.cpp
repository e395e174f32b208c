// Large files deflated in blocks, and small ones ahead of the writer, on
// one set of worker threads: the entries read back whole, encrypted either
// way, cancelled in the middle, stopped by a file that cannot be read, and
// one thread writing the single stream it always wrote.
#include "ParallelDeflate.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <random>
#include <set>

using namespace testing_support;

namespace {
constexpr size_t kBlock = zipdeflate::kBlockSize;

// Text with stretches of noise, so that blocks differ in how well they pack.
std::string mixed(size_t size)
{
    std::mt19937 noise(static_cast<unsigned>(size));
    std::string content;
    while (content.size() < size) {
        content += "line " + std::to_string(content.size()) + " of the text in a large file\n";
        if (content.size() % 23 == 0)
            for (int i = 0; i < 200; ++i)
                content += static_cast<char>(noise());
    }
    content.resize(size);
    return content;
}

struct Adding {
    std::string folder;
    std::string archivePath;
    ScriptedCallBack callback;
    CZipFile archive{&callback};

    // Each in a folder of its own, named after the thread count.
    explicit Adding(unsigned threads)
        : folder(scratchFolder() + std::to_string(threads) + kSeparator), archivePath(folder + "archive.zip")
    {
        std::filesystem::create_directories(folder);
        archive.setThreadCount(threads);
        EXPECT_TRUE(archive.createNewZip(archivePath));
    }

    std::vector<CString> write(const std::vector<std::pair<std::string, std::string>>& files)
    {
        std::vector<CString> paths;
        for (const auto& [name, content] : files) {
            writeBytes(folder + name, content);
            paths.push_back(folder + name);
        }
        return paths;
    }

    void add(const std::vector<std::pair<std::string, std::string>>& files, uint32_t option = 0)
    {
        addPaths(write(files), option);
    }

    void addPaths(std::vector<CString> paths, uint32_t option = 0)
    {
        ASSERT_TRUE(archive.addNewFiles(paths, option, false, true));
        reopen();
    }

    void reopen()
    {
        archive.close();
        ASSERT_TRUE(archive.openZipFile(archivePath));
    }

    // The archive holds exactly the first count of files, each whole.
    void expectFirst(const std::vector<std::pair<std::string, std::string>>& files, size_t count)
    {
        ASSERT_EQ(archive.getFileCount(), static_cast<long>(count));
        for (int i = 0; i < static_cast<int>(count); ++i) {
            EXPECT_EQ(archive.getFileHeader(i)->name, files[i].first);
            EXPECT_EQ(readEntry(archive, i), files[i].second);
        }
    }

    // An entry's data as it lies in the archive.
    std::string storedData(int index)
    {
        const CZipFileHeader& header = *archive.getFileHeader(index);
        const std::string bytes = readBytes(archivePath);
        const size_t local = static_cast<size_t>(header.localHeaderOffset);
        const size_t start = local + 30 + static_cast<uint8_t>(bytes[local + 26]) + 256 * static_cast<uint8_t>(bytes[local + 27])
                             + static_cast<uint8_t>(bytes[local + 28]) + 256 * static_cast<uint8_t>(bytes[local + 29]);
        return bytes.substr(start, static_cast<size_t>(header.compressedSize));
    }
};

// What one deflate stream over the whole file gives at the engine's settings.
std::string oneStream(const std::string& content, int level)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, content.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

uint32_t crcOf(const std::string& content)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
}
}

TEST(ParallelAdding, SizesAroundTheBlockReadBackAtEveryLevel)
{
    const size_t sizes[] = {0, 1, kBlock - 1, kBlock, kBlock + 1, 5 * kBlock + 1234};
    for (uint32_t option = 0; option < 4; ++option) {
        Adding adding(3);
        std::vector<std::pair<std::string, std::string>> files;
        for (size_t size : sizes)
            files.emplace_back("f" + std::to_string(size), mixed(size));
        adding.add(files, option);
        ASSERT_EQ(adding.archive.getFileCount(), static_cast<long>(files.size()));
        for (int i = 0; i < static_cast<int>(files.size()); ++i) {
            SCOPED_TRACE(files[i].first + " at option " + std::to_string(option));
            EXPECT_EQ(adding.archive.getCRC(i), crcOf(files[i].second));
            EXPECT_EQ(adding.archive.getUncompressedSize64(i), files[i].second.size());
            EXPECT_EQ(readEntry(adding.archive, i), files[i].second);
        }
    }
}

TEST(ParallelAdding, BlocksCostUnderOnePercentAndOneThreadWritesOneStream)
{
    const std::string content = mixed(6 * kBlock + 99);
    for (const auto& [option, level] : {std::pair<uint32_t, int>{0, Z_DEFAULT_COMPRESSION}, {1, Z_BEST_SPEED}}) {
        Adding single(1);
        Adding several(2);
        single.add({{"big", content}}, option);
        several.add({{"big", content}}, option);
        const std::string whole = oneStream(content, level);
        const std::string one = single.storedData(0);
        EXPECT_TRUE(one == whole) << one.size() << " bytes against " << whole.size();
        const std::string blocks = several.storedData(0);
        EXPECT_FALSE(blocks == whole) << "several threads deflate in blocks";
        EXPECT_LT(blocks.size(), whole.size() * 101 / 100);
    }
}

TEST(ParallelAdding, BothEncryptionsReadBack)
{
    const std::string content = mixed(3 * kBlock + 5);
    for (Encryption encryption : {Encryption::ZipCrypto, Encryption::Aes256}) {
        Adding adding(2);
        adding.callback.passwordForAdding = "secret";
        adding.callback.encryptionForAdding = encryption;
        adding.add({{"big", content}});
        adding.archive.setPassword("secret");
        EXPECT_EQ(readEntry(adding.archive, 0), content);
    }
}

TEST(ParallelAdding, CancelInTheMiddleOfAFileKeepsTheFilesBefore)
{
    Adding adding(2);
    // Asked before each file and before each block; with two threads the
    // sixth question comes once the first two blocks are written.
    adding.callback.cancelAt = 5;
    adding.add({{"small", "small"}, {"big", mixed(6 * kBlock)}});
    ASSERT_EQ(adding.archive.getFileCount(), 1);
    EXPECT_EQ(readEntry(adding.archive, 0), "small");
    EXPECT_LT(readBytes(adding.archivePath).size(), 1000u) << "nothing of the large file is left";
}

TEST(ParallelAdding, SmallFilesSideBySideGiveTheArchiveOfOneThreadInTheUsersOrder)
{
    const std::string folder = scratchFolder();
    std::vector<CString> paths;
    for (const char* name : {"c.txt", "a.txt", "empty", "d.txt", "b.txt", "e.txt"}) {
        paths.push_back(folder + name);
        writeBytes(paths.back(), mixed(paths.size() == 3 ? 0 : 20000 * paths.size() + kBlock / 2));
    }
    Adding single(1);
    Adding several(3);
    single.addPaths(paths);
    several.addPaths(paths);
    ASSERT_EQ(several.archive.getFileCount(), 6);
    EXPECT_EQ(several.archive.getFileHeader(1)->name, "a.txt");
    EXPECT_EQ(several.archive.getFileHeader(5)->name, "e.txt");
    EXPECT_TRUE(readBytes(several.archivePath) == readBytes(single.archivePath));
}

// Thirty small files, a dozen or more ahead of the writer at a time.
TEST(ParallelAdding, SmallFilesInFlightStopAtTheFileWhereOneThreadStops)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (int n = 0; n < 30; ++n)
        files.emplace_back("s" + std::to_string(n) + ".txt", mixed(100 + 997 * n));
    Adding failing(3);
    const UnreadableFile blocked(failing.folder);
    std::vector<CString> paths = failing.write(files);
    paths.insert(paths.begin() + 12, blocked.path);
    EXPECT_EQ(messageOf([&] { failing.archive.addNewFiles(paths, 0, false, true); }).rfind(blocked.message, 0), 0u);
    failing.reopen();
    failing.expectFirst(files, 12);

    Adding cancelled(4);
    // Asked before each file: the tenth question stops the batch.
    cancelled.callback.cancelAt = 9;
    cancelled.add(files);
    std::vector<std::string> reported;
    for (int n = 0; n < 9; ++n)
        reported.push_back("Compressing file " + files[n].first);
    reported.push_back("Ready");
    EXPECT_EQ(cancelled.callback.statusTexts, reported);
    cancelled.expectFirst(files, 9);
}

TEST(ParallelAdding, OneSetOfWorkersRunsEveryTask)
{
    std::set<std::thread::id> threads;
    {
        zipdeflate::Workers workers(2);
        std::vector<std::future<std::thread::id>> ran;
        for (int n = 0; n < 50; ++n)
            ran.push_back(workers.run([] { return std::this_thread::get_id(); }));
        std::future<int> failed = workers.run([]() -> int { throw CZipException("failed"); });
        for (std::future<std::thread::id>& thread : ran)
            threads.insert(thread.get());
        EXPECT_THROW(failed.get(), CZipException);
    }
    EXPECT_LE(threads.size(), 2u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}
