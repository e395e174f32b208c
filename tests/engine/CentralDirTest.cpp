// Finding, reading, ordering and writing the directory.
#include "TestSupport.h"

#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace testing_support;

namespace {
const char* const kSamples[] = {
    "infozip_recursive.zip", "infozip_stored.zip",  "infozip_best.zip",   "infozip_encrypted.zip",
    "infozip_bzip2.zip",     "sevenzip.zip",        "sevenzip_encrypted.zip", "python_1000.zip",
    "python_reordered.zip",  "python_names.zip",
};

std::string write(const std::string& bytes, const std::string& name = "archive.zip")
{
    const std::string path = scratchFolder() + name;
    writeBytes(path, bytes);
    return path;
}
}

class SampleListing : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleListing, MatchesWhatTheWritingToolRecorded)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(testdata(GetParam())));
    EXPECT_EQ(listing(archive), expectedListing(GetParam()));
    EXPECT_TRUE(callback.disksAsked.empty());
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleListing, ::testing::ValuesIn(kSamples));

TEST(Directory, TooShortOrUnsignedFilesAreNoArchive)
{
    for (const std::string& bytes : {std::string(), std::string("PK\x05"), std::string(70000, 'z'),
                                     std::string("PK\x05\x06", 4) + std::string(10, '\0')}) {
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        EXPECT_FALSE(archive.openZipFile(write(bytes))) << bytes.size();
    }
}

// An entry just under 4 GiB pushes its directory past 4 GiB: the file's
// length, cut to 32 bits, once left a search window too small for any end record.
TEST(Directory, AnArchiveEndingPast4GiBIsFound)
{
    const uint32_t size = 0xFFFFFFFF - 100;
    const std::string empty = buildZip({{"big.bin", ""}});
    const size_t directory = empty.rfind("PK\x01\x02");
    std::string local = empty.substr(0, directory);
    std::string records = empty.substr(directory);
    for (char* sizes : {&local[18], &local[22], &records[20], &records[24]})
        zipbytes::put32(sizes, size);
    zipbytes::put32(&records[endRecordOffset(records) + 16], static_cast<uint32_t>(local.size()) + size);
    const std::string path = write(local, "big.zip");
    std::filesystem::resize_file(path, local.size() + size);
    std::ofstream(path, std::ios::binary | std::ios::app) << records;
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 1);
    EXPECT_EQ(archive.getUncompressedSize(0), size);
    archive.close();
    std::filesystem::remove(path);
}

TEST(Directory, EndRecordBeyondTheSearchWindowIsNotFound)
{
    std::string bytes = buildZip({{"a.txt", "abc"}});
    bytes += std::string(65536, ' ');
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    EXPECT_FALSE(archive.openZipFile(write(bytes)));
}

// A comment may hold the signature, even a whole empty end record, or be
// followed by bytes; the record taken is the one whose comment and directory
// fit the file.
TEST(Directory, ASignatureInsideTheCommentIsNotTheRecord)
{
    const std::string fakeEnd = std::string("PK\x05\x06", 4) + std::string(18, '\0');
    for (const std::string& comment : {"note " + fakeEnd, std::string("says PK\x05\x06 here"), fakeEnd + "tail"}) {
        for (const std::string& trailing : {std::string(), std::string("\0\0junk", 6)}) {
            ScriptedCallBack callback;
            CZipFile archive(&callback);
            ASSERT_TRUE(archive.openZipFile(write(buildZip({{"a.txt", "abc"}}, comment) + trailing)));
            ASSERT_EQ(archive.getFileCount(), 1) << comment;
            EXPECT_EQ(readEntry(archive, 0), "abc");
            EXPECT_EQ(archive.getGlobalComment().substr(0, comment.size()), comment);
        }
    }
}

TEST(Directory, CommentLengthAndTheBytesThatFollow)
{
    std::string bytes = buildZip({{"a.txt", "abc"}});
    ScriptedCallBack callback;
    CZipFile noComment(&callback);
    ASSERT_TRUE(noComment.openZipFile(write(bytes + "trailing", "zero.zip")));
    EXPECT_EQ(noComment.getGlobalComment(), "");

    std::string three = buildZip({{"a.txt", "abc"}}, "abc");
    CZipFile longer(&callback);
    ASSERT_TRUE(longer.openZipFile(write(three + "defghij", "three.zip")));
    EXPECT_EQ(longer.getGlobalComment(), "abcdefghij");
    CZipFile cut(&callback);
    ASSERT_TRUE(cut.openZipFile(write(three + std::string("de\0fg", 5), "cut.zip")));
    EXPECT_EQ(cut.getGlobalComment(), "abcde");
}

TEST(Directory, DuplicateNamesAreListedAndTheFirstRecordIsFound)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(testdata("python_names.zip")));
    CZipCentralDir& directory = ZipFileTestAccess::centralDir(archive);
    EXPECT_EQ(directory.getHeaderCount(), 5);
    CZipFileHeader* found = directory.getFileFromName("dir/file.txt");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->uncompressedSize, 6u) << "the record that came first";
    EXPECT_EQ(directory.getFileFromName("Dir/File.txt")->uncompressedSize, 6u);
    EXPECT_EQ(directory.getFileFromName("DIR/FILE.TXT"), nullptr);
    EXPECT_EQ(directory.getFileFromName("dir/file"), nullptr);
}

TEST(Directory, EntriesFollowTheDataNotTheRecords)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(write(buildZip({{"one", "1"}, {"two", "22"}, {"three", "333"}}, "", true))));
    ASSERT_EQ(archive.getFileCount(), 3);
    EXPECT_EQ(archive.getFileHeader(0)->name, "one");
    EXPECT_EQ(archive.getFileHeader(2)->name, "three");
    EXPECT_EQ(readEntry(archive, 1), "22");
}

TEST(Directory, TwoRecordsForTheSameBytesAreCorrupt)
{
    std::string bytes = buildZip({{"one", "1"}, {"two", "2"}});
    const size_t second = bytes.rfind(std::string("PK\x01\x02", 4));
    bytes.replace(second + 42, 4, std::string(4, '\0'));
    const std::string path = write(bytes);
    EXPECT_EQ(openingFailure(path), "Corrupt zip file" + path);
}

TEST(Directory, RemovingAnEntryShiftsTheOnesBehindIt)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(write(buildZip({{"one", "1"}, {"two", "22"}, {"three", "333"}}))));
    CZipCentralDir& directory = ZipFileTestAccess::centralDir(archive);
    const uint32_t thirdBefore = archive.getFileHeader(2)->localHeaderOffset;
    const uint32_t directoryBefore = directory.endRecord().offset;
    const uint32_t removed = archive.getFileHeader(1)->GetSize(true) + archive.getFileHeader(1)->compressedSize;
    EXPECT_EQ(removed, 30u + 3 + 2);
    directory.RemoveFile(nullptr, 1, removed);
    ASSERT_EQ(directory.getHeaderCount(), 2);
    EXPECT_EQ(archive.getFileHeader(1)->localHeaderOffset, thirdBefore - removed);
    EXPECT_EQ(archive.getFileHeader(0)->localHeaderOffset, 0u);
    EXPECT_EQ(directory.endRecord().offset, directoryBefore - removed);
    EXPECT_EQ(directory.getFileFromName("two"), nullptr);
}

TEST(Directory, CommentChangeRewritesTheEndRecord)
{
    const std::string path = write(buildZip({{"a.txt", "abc"}}, "old"));
    const auto before = readBytes(path).size();
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    archive.setGlobalComment("a longer comment");
    EXPECT_EQ(archive.GetLength(), before + 13);
    archive.setGlobalComment("");
    EXPECT_EQ(archive.GetLength(), before - 3);
    archive.close();
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(archive.getGlobalComment(), "");
    EXPECT_EQ(readEntry(archive, 0), "abc");
    EXPECT_THROW(archive.setGlobalComment(std::string(70000, 'c')), CZipException);
    EXPECT_EQ(archive.GetLength(), before - 3) << "a refused comment changes nothing";
}

TEST(Directory, NewHeaderIsAppendedAndCurrent)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.createNewZip(scratchFolder() + "new.zip"));
    CZipCentralDir& directory = ZipFileTestAccess::centralDir(archive);
    CZipFileHeader* header = directory.addNewFileHeader("x/y.txt");
    EXPECT_EQ(directory.getCurrentOpenFile(), header);
    EXPECT_EQ(directory.getFileFromName("x/y.txt"), header);
    EXPECT_EQ(header->versionMadeBy, 20);
    EXPECT_EQ(header->versionNeeded, 20);
}
