// Reading entries: chunking, the open/read/close protocol and integrity.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace testing_support;

namespace {
std::string archiveOf(const std::vector<RawEntry>& entries)
{
    const std::string path = scratchFolder() + "archive.zip";
    writeBytes(path, buildZip(entries));
    return path;
}
}

class EveryEntryOfSample : public ::testing::TestWithParam<const char*> {};

TEST_P(EveryEntryOfSample, ReadsWithItsRecordedCrc)
{
    ScriptedCallBack callback;
    callback.passwordToGive = "secret";
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(testdata(GetParam())));
    ASSERT_GT(archive.getFileCount(), 0);
    for (int i = 0; i < archive.getFileCount(); ++i) {
        const std::string content = readEntry(archive, i);
        EXPECT_EQ(content.size(), archive.getUncompressedSize(i));
        EXPECT_EQ(crc32(0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())),
                  archive.getCRC(i));
    }
    EXPECT_LE(callback.passwordPrompts, 1) << "one password serves every entry";
}

INSTANTIATE_TEST_SUITE_P(Samples, EveryEntryOfSample,
                         ::testing::Values("infozip_recursive.zip", "infozip_stored.zip", "infozip_best.zip",
                                           "sevenzip.zip", "python_1000.zip", "infozip_encrypted.zip",
                                           "sevenzip_encrypted.zip"));

TEST(Extraction, ChunksAddUpAndTheLastCallReturnsNothing)
{
    const std::string content(2500, 'q');
    for (const RawEntry& entry : {RawEntry("stored.txt", content), deflated("deflated.txt", content)}) {
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(archiveOf({entry})));
        archive.openFile(0);
        char buffer[1000];
        EXPECT_EQ(archive.readFile(buffer, 1000), 1000u);
        EXPECT_EQ(archive.readFile(buffer, 1000), 1000u);
        EXPECT_EQ(archive.readFile(buffer, 1000), 500u) << "only what is left";
        EXPECT_EQ(archive.readFile(buffer, 1000), 0u);
        archive.closeFile(0);
        EXPECT_EQ(callback.statusTexts.back(), "Extracting file " + entry.name);
    }
}

// Stored bytes with nothing to deliver once made every read spin on the same
// buffer; a stored entry whose two sizes disagree is damaged.
TEST(Extraction, StoredEntryWithMoreBytesThanItsSizeIsReported)
{
    RawEntry entry("empty.txt", std::string(CZipBuffer::kDefaultSize + 1, 'x'));
    entry.uncompressedSize = 0;
    entry.crcOfData = false;
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(archiveOf({entry})));
    EXPECT_EQ(messageOf([&] { readEntry(archive, 0); }), "Corrupt zip file found when exstacting empty.txt");
}

TEST(Extraction, EmptyDeflatedEntryIsConsumedByTheFirstRead)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(archiveOf({deflated("empty.txt", ""), RawEntry("next.txt", "after")})));
    EXPECT_EQ(archive.getFileHeader(0)->compressedSize, 2u);
    char buffer[16];
    archive.openFile(0);
    EXPECT_EQ(archive.readFile(buffer, sizeof buffer), 0u);
    archive.closeFile(0);
    EXPECT_EQ(readEntry(archive, 1), "after");
}

TEST(Extraction, ReadingWithoutAnOpenEntryThrows)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(archiveOf({RawEntry("a.txt", "abc")})));
    char buffer[4];
    try {
        archive.readFile(buffer, sizeof buffer);
        FAIL() << "read without openFile";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.getMessage(), "You must open file before extracting");
    }
    archive.openFile(0);
    archive.closeFile(0);
    EXPECT_THROW(archive.readFile(buffer, sizeof buffer), CZipException);
}

TEST(Extraction, UnknownMethodFailsBeforeAnyPasswordIsAsked)
{
    RawEntry entry("packed.bin", "whatever");
    entry.method = 12;
    entry.flags = CZipFileHeader::kFlagEncrypted;
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(archiveOf({entry})));
    try {
        archive.openFile(0);
        FAIL() << "opened";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.getMessage(), "Corrupt zip file found when trying to read local header : packed.bin");
    }
    EXPECT_EQ(callback.passwordPrompts, 0);
}

TEST(Extraction, DamagedDeflateDataIsALibraryError)
{
    RawEntry entry = deflated("a.txt", std::string(5000, 'a') + "tail");
    entry.data[0] = '\xFF';
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(archiveOf({entry})));
    try {
        readEntry(archive, 0);
        FAIL() << "read damaged data";
    } catch (const CZipException& error) {
        EXPECT_TRUE(error.getMessage() == "Extraction library error"
                    || error.getMessage() == "Corrupt zip file found when exstacting a.txt")
            << error.getMessage();
    }
}

TEST(Extraction, ContentThatDoesNotMatchItsCrcIsReported)
{
    RawEntry stored("a.txt", "the stored bytes");
    stored.crcOfData = false;
    stored.crc = 0x12345678;
    RawEntry packed = deflated("b.txt", "deflated bytes");
    packed.crc ^= 1;
    for (const RawEntry& entry : {stored, packed}) {
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(archiveOf({entry})));
        try {
            readEntry(archive, 0);
            FAIL() << entry.name << " passed as good";
        } catch (const CZipException& error) {
            EXPECT_EQ(error.getMessage(), "Corrupt zip file found when exstacting " + entry.name);
        }
    }
}

TEST(Extraction, ReopeningAnEntryWithoutClosingStartsAfresh)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(archiveOf({deflated("a.txt", std::string(3000, 'x')), deflated("b.txt", "bee")})));
    char buffer[10];
    archive.openFile(0);
    archive.readFile(buffer, sizeof buffer);
    EXPECT_EQ(readEntry(archive, 1), "bee");
    EXPECT_EQ(readEntry(archive, 0), std::string(3000, 'x'));
}
