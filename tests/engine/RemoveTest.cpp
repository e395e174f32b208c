// Deleting entries in place.
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {
const std::vector<std::string> kNames = {"e0", "e1", "e2", "e3", "e4", "e5"};

std::string contentOf(const std::string& name)
{
    return std::string(1000 + name[1] * 37, name[1]);
}

std::string sixEntries(std::string prefix = std::string())
{
    std::vector<RawEntry> entries;
    for (const std::string& name : kNames)
        entries.emplace_back(name, contentOf(name));
    const std::string path = scratchFolder() + "six.zip";
    writeBytes(path, buildZip(entries, "", false, prefix));
    return path;
}

std::vector<std::string> namesAndCheckContents(CZipFile& archive)
{
    std::vector<std::string> names;
    for (int i = 0; i < archive.getFileCount(); ++i) {
        names.push_back(archive.getFileHeader(i)->name);
        EXPECT_EQ(readEntry(archive, i), contentOf(names.back()));
    }
    return names;
}

std::vector<std::string> reopenAndCheck(CZipFile& archive)
{
    const std::string path = archive.getPath();
    archive.close();
    EXPECT_TRUE(archive.openZipFile(path));
    return namesAndCheckContents(archive);
}
}

TEST(Removing, ByIndexesInAnyOrder)
{
    const struct {
        std::vector<int32_t> removed;
        std::vector<std::string> left;
    } cases[] = {
        {{5}, {"e0", "e1", "e2", "e3", "e4"}},
        {{0}, {"e1", "e2", "e3", "e4", "e5"}},
        {{2, 0}, {"e1", "e3", "e4", "e5"}},
        {{4, 1, 3, 1}, {"e0", "e2", "e5"}},
        {{0, 1, 2, 3, 4, 5}, {}},
    };
    for (const auto& c : cases) {
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(sixEntries()));
        std::vector<int32_t> removed = c.removed;
        archive.removeSomeFiles(removed);
        EXPECT_EQ(reopenAndCheck(archive), c.left);
    }
}

TEST(Removing, LastEntryOnlyTruncates)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    const std::string path = sixEntries();
    const std::string before = readBytes(path);
    ASSERT_TRUE(archive.openZipFile(path));
    const uint32_t lastOffset = archive.getFileHeader(5)->localHeaderOffset;
    std::vector<int32_t> last{5};
    archive.removeSomeFiles(last);
    EXPECT_EQ(readBytes(path).substr(0, lastOffset), before.substr(0, lastOffset));
}

TEST(Removing, EverythingLeavesTheDirectoryWhereTheFirstEntryWas)
{
    const std::string stub(777, 's');
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    const std::string path = sixEntries(stub);
    ASSERT_TRUE(archive.openZipFile(path));
    std::vector<int32_t> all{0, 1, 2, 3, 4, 5};
    archive.removeSomeFiles(all);
    const std::string after = readBytes(path);
    EXPECT_EQ(after.size(), stub.size() + 22);
    EXPECT_EQ(after.substr(0, stub.size()), stub) << "the bytes in front of the first entry never move";
}

TEST(Removing, LocalExtraFieldLongerThanTheDirectorysOne)
{
    std::vector<RawEntry> entries;
    for (const std::string& name : kNames) {
        entries.emplace_back(name, contentOf(name));
        entries.back().localExtra = std::string(9, 'L');
        entries.back().centralExtra = std::string(5, 'C');
    }
    const std::string path = scratchFolder() + "extra.zip";
    writeBytes(path, buildZip(entries));
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(ZipFileTestAccess::storedSizeOf(archive, *archive.getFileHeader(1)),
              30 + 2 + 9 + contentOf("e1").size());
    std::vector<int32_t> removed{1, 3};
    archive.removeSomeFiles(removed);
    EXPECT_EQ(reopenAndCheck(archive), (std::vector<std::string>{"e0", "e2", "e4", "e5"}));
}

TEST(Removing, SingleEntry)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(sixEntries()));
    ZipFileTestAccess::removeSingleFile(archive, 2);
    EXPECT_EQ(reopenAndCheck(archive), (std::vector<std::string>{"e0", "e1", "e3", "e4", "e5"}));
}

TEST(Removing, TarAndGzipFilesAreLeftAlone)
{
    const std::string path = scratchFolder() + "not.tar";
    writeBytes(path, std::string(1024, '\0'));
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    archive.openZipFile(path);
    std::vector<int32_t> first{0};
    archive.removeSomeFiles(first);
    EXPECT_EQ(readBytes(path), std::string(1024, '\0'));
}
