// Opening, creating and the byte stream of CZipFile; the error classes.
#include "TestSupport.h"
#include "os/Os.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {
const std::string kEmptyArchive = std::string("PK\x05\x06", 4) + std::string(18, '\0');
}

TEST(Opening, SuffixTestsAreExactAndCaseSensitive)
{
    const std::string folder = scratchFolder();
    const std::string sample = readBytes(testdata("python_reordered.zip"));
    for (const char* name : {"upper.TAR", "upper.GZ", "upper.Tgz"}) {
        writeBytes(folder + name, sample);
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(folder + name)) << name;
        EXPECT_EQ(archive.getFileCount(), 3) << name;
        EXPECT_FALSE(archive.isTarMode() || archive.isGzipMode()) << name;
    }
    ScriptedCallBack callback;
    CZipFile gzip(&callback);
    writeBytes(folder + "lower.tgz", sample);
    gzip.openZipFile(folder + "lower.tgz");
    EXPECT_TRUE(gzip.isGzipMode());
    CZipFile tar(&callback);
    writeBytes(folder + "lower.tar", sample);
    tar.openZipFile(folder + "lower.tar");
    EXPECT_TRUE(tar.isTarMode());
}

TEST(Opening, MissingPathIsNoArchiveAndLeavesAnEmptyFile)
{
    const std::string path = scratchFolder() + "missing.zip";
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    EXPECT_FALSE(archive.openZipFile(path));
    EXPECT_FALSE(archive.is_open());
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    EXPECT_TRUE(callback.disksAsked.empty()) << "a fixed drive never asks for the last disk";
}

TEST(Opening, FileWithoutEndRecordIsClosedAgain)
{
    const std::string path = scratchFolder() + "plain.zip";
    writeBytes(path, std::string(5000, 'x'));
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    EXPECT_FALSE(archive.openZipFile(path));
    EXPECT_FALSE(archive.is_open());
    EXPECT_TRUE(archive.isReadOnly());
}

// A file without write permission, or one another program holds open for
// reading only, can still be listed and extracted.
TEST(Opening, ReadOnlyFileOpensForReadingOnly)
{
    const std::string path = copyToScratch("python_reordered.zip");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const os::FileHandle reader = os::openFile(path, os::OpenMode::ReadOnlyAlways);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_TRUE(archive.isReadOnly());
    EXPECT_EQ(readEntry(archive, 0), "content of first.txt\n");
    std::vector<CString> files{path};
    EXPECT_FALSE(archive.addNewFiles(files, 0, false, false));
    archive.close();
    os::closeFile(reader);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
}

TEST(Opening, NewArchiveIsALoneEndRecord)
{
    const std::string path = scratchFolder() + "new.zip";
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.createNewZip(path));
    EXPECT_FALSE(archive.isReadOnly());
    EXPECT_EQ(archive.getFileCount(), 0);
    archive.close();
    EXPECT_EQ(readBytes(path), kEmptyArchive);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(archive.getFileCount(), 0);
}

TEST(Opening, CloseForgetsTheDirectory)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(copyToScratch("python_1000.zip")));
    EXPECT_EQ(archive.getFileCount(), 1000);
    archive.close();
    EXPECT_FALSE(archive.is_open());
    EXPECT_EQ(archive.getFileCount(), 0);
    EXPECT_EQ(archive.getGlobalComment(), "");
}

TEST(Stream, ReadsAtTheEndFailAndASeekClearsTheFailure)
{
    const std::string path = copyToScratch("python_reordered.zip");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    char buffer[16];
    archive.seekg(0, CZipFile::begin);
    ASSERT_FALSE(archive.fail());
    EXPECT_EQ(archive.read(buffer, 0, false), 0u);
    EXPECT_FALSE(archive.fail()) << "a read of nothing leaves the flag alone";
    EXPECT_EQ(archive.read(buffer, 4, false), 4u);
    EXPECT_EQ(std::string(buffer, 4), std::string("PK\x03\x04", 4));
    archive.seekg(0, CZipFile::end);
    EXPECT_EQ(archive.read(buffer, sizeof buffer, false), 0u);
    EXPECT_TRUE(archive.fail());
    archive.seekg(-4, CZipFile::end);
    EXPECT_FALSE(archive.fail());
    EXPECT_EQ(archive.tellg(), static_cast<int64_t>(archive.GetLength()) - 4);
}

TEST(Stream, SeekingPastTheEndThrowsWithTheDiskFullText)
{
    const std::string path = copyToScratch("python_reordered.zip");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    const int64_t length = archive.GetLength();
    os::setLastError(os::kErrorDiskFull);
    const std::string diskFull = os::errorText(os::kErrorDiskFull);
    ASSERT_FALSE(diskFull.empty());
    try {
        archive.seekg(length + 1, CZipFile::begin);
        FAIL() << "no exception";
    } catch (const CZipLastErrorException& error) {
        EXPECT_EQ(error.getMessage(), "Error while trying to find data\r\n\r\n" + diskFull);
    }
    archive.seekg(length, CZipFile::begin);
    archive.seekg(10, CZipFile::begin);
    EXPECT_THROW(archive.seekg(length - 9, CZipFile::current), CZipLastErrorException);
    EXPECT_NO_THROW(archive.seekg(-length, CZipFile::end)) << "backward seeks are not checked";
    EXPECT_EQ(archive.tellg(), 0);
}

TEST(Stream, LengthComesFromTheFileOnDisk)
{
    const std::string folder = scratchFolder();
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.createNewZip(folder + "a.zip"));
    EXPECT_EQ(archive.GetLength(), 22u);
    archive.close();
    fs::remove(folder + "a.zip");
    EXPECT_EQ(archive.GetLength(), 0u) << "a missing file has length 0";
}

TEST(Errors, ZlibResultsThatPassAndThatThrow)
{
    EXPECT_NO_THROW(ZipFileTestAccess::checkForError(Z_OK));
    EXPECT_NO_THROW(ZipFileTestAccess::checkForError(Z_NEED_DICT));
    for (int result : {Z_STREAM_END, Z_ERRNO, Z_STREAM_ERROR, Z_DATA_ERROR, Z_MEM_ERROR, Z_BUF_ERROR}) {
        try {
            ZipFileTestAccess::checkForError(result);
            ADD_FAILURE() << result << " passed";
        } catch (const CZipException& error) {
            EXPECT_EQ(error.getMessage(), "Extraction library error");
        }
    }
}

TEST(Errors, LastErrorMessageAlwaysHasTheSeparator)
{
    os::setLastError(0);
    CZipLastErrorException none("Failed to write the file");
    EXPECT_EQ(none.getMessage().rfind("Failed to write the file\r\n\r\n", 0), 0u);
    os::setLastError(os::kErrorDiskFull);
    CZipLastErrorException full("Bad zip file");
    EXPECT_EQ(full.getMessage(), "Bad zip file\r\n\r\n" + os::errorText(os::kErrorDiskFull));
    CZipLastErrorException copy = full;
    os::setLastError(0);
    EXPECT_EQ(copy.getMessage(), full.getMessage()) << "the code is captured when thrown, not when read";
    EXPECT_STREQ(full.what(), "Bad zip file");
}

TEST(Buffers, KeepTheirSizeAcrossReset)
{
    CZipBuffer standard;
    EXPECT_EQ(standard.size(), 1000000u);
    CZipBuffer small(12);
    small.reset();
    EXPECT_EQ(small.size(), 12u);
    static_cast<char*>(small)[11] = 'x';
    EXPECT_EQ(static_cast<const char*>(small)[11], 'x');
}

TEST(Buffers, ZlibHooksTrackBlocksOnlyWithAMap)
{
    std::map<void*, void*> tracked;
    void* block = CZipFile::_zliballoc(&tracked, 4, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(tracked.count(block), 1u);
    CZipFile::_zlibfree(&tracked, block);
    EXPECT_TRUE(tracked.empty());
    void* untracked = CZipFile::_zliballoc(nullptr, 1, 1);
    CZipFile::_zlibfree(nullptr, untracked);
}
