// Adding files: names, levels, replacing, cancelling, limits and recovery.
#include "TestSupport.h"
#include "os/Os.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {
struct Fixture {
    std::string folder = scratchFolder();
    std::string archivePath = folder + "archive.zip";
    ScriptedCallBack callback;
    CZipFile archive{&callback};

    Fixture() { EXPECT_TRUE(archive.createNewZip(archivePath)); }

    std::string file(const std::string& name, const std::string& content)
    {
        const std::string path = folder + name;
        fs::create_directories(fs::path(path).parent_path());
        writeBytes(path, content);
        return path;
    }

    bool add(std::vector<CString> paths, uint32_t option = 0, bool keepFolderNames = false, bool replace = true)
    {
        return archive.addNewFiles(paths, option, keepFolderNames, replace);
    }

    // Reopens the archive from disk, as another program would see it.
    void reopen()
    {
        archive.close();
        ASSERT_TRUE(archive.openZipFile(archivePath));
    }
};

std::string text(size_t size)
{
    std::string content;
    while (content.size() < size)
        content += "line " + std::to_string(content.size()) + " of a compressible text\n";
    content.resize(size);
    return content;
}
}

TEST(Adding, EveryLevelRoundTrips)
{
    Fixture f;
    const std::string content = text(200000);
    uint32_t sizes[4] = {};
    for (uint32_t option = 0; option < 4; ++option) {
        ASSERT_TRUE(f.add({f.file("level" + std::to_string(option) + ".txt", content)}, option));
        sizes[option] = f.archive.getCompressedSize(static_cast<int>(option));
    }
    f.reopen();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.archive.getFileHeader(i)->method, 8) << "even level 0 writes deflate data";
        EXPECT_EQ(readEntry(f.archive, i), content);
    }
    EXPECT_GT(sizes[3], content.size()) << "stored blocks are a little larger than the file";
    EXPECT_LT(sizes[3], content.size() + 100);
    EXPECT_LT(sizes[2], sizes[1]) << "best beats fastest on text";
    EXPECT_LT(sizes[0], content.size() / 4);
}

TEST(Adding, NamesWithAndWithoutFolders)
{
    Fixture f;
    const std::string nested = f.file("sub" + std::string(1, kSeparator) + "inner.txt", "inner");
    ASSERT_TRUE(f.add({nested}, 0, false));
    ASSERT_TRUE(f.add({nested}, 0, true));
    EXPECT_EQ(f.archive.getFileHeader(0)->name, "inner.txt");
    const std::string kept = f.archive.getFileHeader(1)->name;
    EXPECT_EQ(kept, ZipFileTestAccess::convertName(f.archive, nested, false));
    EXPECT_NE(kept.find("sub/inner.txt"), std::string::npos);
    EXPECT_NE(kept[0], '/') << "no stored name starts at a root";
    EXPECT_EQ(kept.find(':'), std::string::npos) << "the drive is dropped";
}

TEST(Adding, EmptyFileIsAnEmptyFinalBlock)
{
    Fixture f;
    ASSERT_TRUE(f.add({f.file("zero.txt", "")}));
    f.reopen();
    const CZipFileHeader* header = f.archive.getFileHeader(0);
    EXPECT_EQ(header->uncompressedSize, 0u);
    EXPECT_EQ(header->crc32, 0u);
    EXPECT_EQ(header->compressedSize, 2u);
    EXPECT_EQ(readEntry(f.archive, 0), "");
}

TEST(Adding, FoldersMissingFilesAndTheArchiveItselfAreSkipped)
{
    Fixture f;
    fs::create_directories(f.folder + "a folder");
    ASSERT_TRUE(f.add({f.folder + "a folder", f.folder + "missing.txt", f.archivePath, f.file("real.txt", "real")}));
    ASSERT_EQ(f.archive.getFileCount(), 1);
    EXPECT_EQ(f.archive.getFileHeader(0)->name, "real.txt");
}

TEST(Adding, StatusTextsAndOnePasswordQuestionPerBatch)
{
    Fixture f;
    ASSERT_TRUE(f.add({f.file("a.txt", "a"), f.file("b.txt", "b")}));
    const std::vector<std::string> expected = {"Compressing file a.txt", "Compressing file b.txt", "Ready"};
    EXPECT_EQ(f.callback.statusTexts, expected);
}

TEST(Adding, CancelBeforeTheFirstFileStillWritesTheDirectory)
{
    Fixture f;
    f.callback.cancelAt = 0;
    ASSERT_TRUE(f.add({f.file("a.txt", "a")}));
    EXPECT_EQ(f.archive.getFileCount(), 0);
    EXPECT_EQ(f.callback.statusTexts, std::vector<std::string>{"Ready"});
    EXPECT_EQ(fs::file_size(f.archivePath), 22u);
}

TEST(Adding, CancelBetweenFilesKeepsWhatWasAdded)
{
    Fixture f;
    f.callback.cancelAt = 1;
    ASSERT_TRUE(f.add({f.file("a.txt", "a"), f.file("b.txt", "b")}));
    f.reopen();
    ASSERT_EQ(f.archive.getFileCount(), 1);
    EXPECT_EQ(readEntry(f.archive, 0), "a");
}

TEST(Adding, ReplacingDeletesTheOldEntryFirst)
{
    Fixture f;
    ASSERT_TRUE(f.add({f.file("a.txt", "old content"), f.file("b.txt", "bee")}));
    ASSERT_TRUE(f.add({f.file("a.txt", "new")}, 0, false, true));
    f.reopen();
    ASSERT_EQ(f.archive.getFileCount(), 2);
    EXPECT_EQ(f.archive.getFileHeader(0)->name, "b.txt");
    EXPECT_EQ(readEntry(f.archive, indexOf(f.archive, "a.txt")), "new");
    ASSERT_TRUE(f.add({f.file("a.txt", "third")}, 0, false, false));
    f.reopen();
    EXPECT_EQ(f.archive.getFileCount(), 3) << "without replacing, both stay";
}

TEST(Adding, ReadOnlyOrClosedArchiveRefuses)
{
    ScriptedCallBack callback;
    CZipFile closed(&callback);
    std::vector<CString> files{"whatever"};
    EXPECT_FALSE(closed.addNewFiles(files, 0, false, false));
}

// A file that opens but cannot be read, or cannot be opened at all, stops the
// batch; what was added before stays readable behind a fresh directory.
TEST(Adding, FailureInTheMiddleLeavesAReadableArchive)
{
    Fixture f;
    const std::string first = f.file("first.txt", text(5000));
    const UnreadableFile blocked(f.folder);
    EXPECT_EQ(messageOf([&] { f.add({first, blocked.path, f.file("third.txt", "third")}); }).rfind(blocked.message, 0),
              0u);
    EXPECT_EQ(f.archive.getFileCount(), 1);
    f.reopen();
    ASSERT_EQ(f.archive.getFileCount(), 1);
    EXPECT_EQ(readEntry(f.archive, 0), text(5000));
    ASSERT_TRUE(f.add({f.file("later.txt", "later")})) << "the archive takes more files afterwards";
    f.reopen();
    EXPECT_EQ(readEntry(f.archive, 1), "later");
}
