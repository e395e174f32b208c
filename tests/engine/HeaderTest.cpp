// Entry records: reading, writing, local header checks and the display forms.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#ifdef _WIN32
#include <sys/utime.h>
#define utime _utime
#define utimbuf _utimbuf
#else
#include <utime.h>
#endif

using namespace testing_support;
namespace fs = std::filesystem;

namespace {
std::string openAndReadFirst(const std::string& bytes, const std::string& name = "archive.zip")
{
    const std::string path = scratchFolder() + name;
    writeBytes(path, bytes);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    if (!archive.openZipFile(path))
        return "not an archive";
    try {
        return readEntry(archive, 0);
    } catch (const CZipException& error) {
        return error.getMessage();
    }
}

void setModificationTime(const std::string& path, int year, int month, int day, int hour, int minute, int second)
{
    std::tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    struct utimbuf times;
    times.actime = times.modtime = std::mktime(&local);
    ASSERT_EQ(utime(path.c_str(), &times), 0);
}
}

TEST(EntryRecord, LocalHeaderWhereADirectoryRecordShouldBe)
{
    std::string bytes = buildZip({{"a.txt", "hello"}});
    const size_t directory = bytes.find(std::string("PK\x01\x02", 4));
    bytes[directory + 2] = '\x03';
    bytes[directory + 3] = '\x04';
    const std::string path = scratchFolder() + "bad.zip";
    writeBytes(path, bytes);
    EXPECT_EQ(openingFailure(path), "Corrupt zip file " + path);
}

TEST(EntryRecord, NamesSplitIntoFileAndFolder)
{
    CZipFileHeader header;
    header.name = "a/b/c.txt";
    EXPECT_EQ(header.getFileName(), "c.txt");
    EXPECT_EQ(header.getPath(), "a\\b\\");
    header.name = "c.txt";
    EXPECT_EQ(header.getFileName(), "c.txt");
    EXPECT_EQ(header.getPath(), "");
    header.name = "docs/";
    EXPECT_EQ(header.getFileName(), "");
    EXPECT_EQ(header.getPath(), "docs\\");
}

TEST(EntryRecord, AttributeLetters)
{
    const struct {
        uint32_t attributes;
        const char* letters;
    } cases[] = {{0x21, "RA"}, {0x10, "SD"}, {0x00, ""}, {0x0F, "RHSVL"}, {0x3F, "RHSVLSDA"}, {0x1100, ""}};
    for (const auto& c : cases) {
        CZipFileHeader header;
        header.externalAttributes = c.attributes;
        EXPECT_EQ(header.getAttributes(), c.letters) << std::hex << c.attributes;
    }
}

TEST(EntryRecord, LocalHeaderWithDescriptorFlagSkipsTheCrcCheck)
{
    RawEntry entry{"a.txt", "stored bytes"};
    entry.flags = CZipFileHeader::kFlagDataDescriptor;
    entry.zeroLocalCrcAndSizes = true;
    EXPECT_EQ(openAndReadFirst(buildZip({entry})), "stored bytes");
    entry.flags = 0;
    EXPECT_EQ(openAndReadFirst(buildZip({entry})),
              "Corrupt zip file found when trying to read local header : a.txt");
}

TEST(EntryRecord, LocalHeaderMustMatchTheDirectory)
{
    RawEntry otherMethod{"a.txt", "abc"};
    otherMethod.localMethod = 8;
    EXPECT_EQ(openAndReadFirst(buildZip({otherMethod})),
              "Corrupt zip file found when trying to read local header : a.txt");
    RawEntry unknownMethod{"b.txt", "abc"};
    unknownMethod.method = 12;
    EXPECT_EQ(openAndReadFirst(buildZip({unknownMethod})),
              "Corrupt zip file found when trying to read local header : b.txt");
}

TEST(EntryRecord, ModificationTimeAndYearClamp)
{
    const std::string folder = scratchFolder();
    const std::string path = folder + "dated.txt";
    writeBytes(path, "x");
    setModificationTime(path, 2024, 5, 17, 13, 45, 59);
    CZipFileHeader header;
    header.SetTime(stampOf(path));
    EXPECT_EQ(header.modificationTime, 13 * 2048 + 45 * 32 + 29);
    EXPECT_EQ(header.modificationDate, ((2024 - 1980) * 16 + 5) * 32 + 17);
    EXPECT_NE(header.externalAttributes & 0x20, 0u) << "a plain file carries the archive bit";
    setModificationTime(path, 1979, 12, 31, 23, 0, 0);
    header.SetTime(stampOf(path));
    EXPECT_EQ(header.modificationDate >> 9, 0) << "years before 1980 count as 1980";
    EXPECT_EQ(header.modificationDate & 0x1FF, 12 * 32 + 31);
}

TEST(EntryRecord, FolderGivesTheDirectoryAttribute)
{
    CZipFileHeader header;
    const std::string folder = scratchFolder();
    header.SetTime(stampOf(folder.substr(0, folder.size() - 1)));
    EXPECT_EQ(header.getAttributes(), "SD");
}

TEST(EntryRecord, NameConversion)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    EXPECT_EQ(ZipFileTestAccess::convertName(archive, "data\\x.txt", false), "data/x.txt");
    EXPECT_EQ(ZipFileTestAccess::convertName(archive, "a/b", true), "a\\b");
#ifdef _WIN32
    EXPECT_EQ(ZipFileTestAccess::convertName(archive, "C:\\data\\x.txt", false), "data/x.txt");
    EXPECT_EQ(ZipFileTestAccess::convertName(archive, "\\\\server\\share\\x", false), "//server/share/x");
#else
    EXPECT_EQ(ZipFileTestAccess::convertName(archive, "/home/user/x.txt", false), "home/user/x.txt");
    EXPECT_EQ(ZipFileTestAccess::convertName(archive, "//twice/x", false), "twice/x");
#endif
}

TEST(EntryRecord, ExtraFieldWithZeroBytesSurvivesARewrite)
{
    RawEntry entry{"a.txt", "abc"};
    entry.centralExtra = std::string("\x0a\x00\x04\x00\x00\x00\x07\x00", 8);
    const std::string path = scratchFolder() + "extra.zip";
    writeBytes(path, buildZip({entry}));
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    archive.setGlobalComment("rewritten");
    archive.close();
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(archive.getFileHeader(0)->extraField, entry.centralExtra);
    EXPECT_EQ(archive.getGlobalComment(), "rewritten");
    EXPECT_EQ(readEntry(archive, 0), "abc");
}
