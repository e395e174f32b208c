// What every extracting program asks of the engine about the files it
// writes: which names are refused, what is left of an unfinished file, and
// the time a written file gets.
#include "ExtractedFile.h"
#include "TestSupport.h"
#include "ZipPaths.h"
#include "ZipTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

using namespace testing_support;

namespace {
// A name as the system spells it, given in UTF-8.
std::string systemSpelling(const std::string& utf8)
{
    CString name;
    os::nameFromUtf8(utf8, name);
    return name;
}
} // namespace

TEST(UnsafeNames, LeavingTheFolderNamingItADeviceOrAStreamAreRefused)
{
    const std::string refused[] = {
        "", "../x", "..\\..\\x", "a/../../x", "a/..", "/abs", "\\abs", "\\\\server\\share\\x", "C:\\x", "C:x",
        "name:stream", "dir/file.txt:hidden", ".../x", ".. /x", ". ./x", "CON", "con.txt", "dir/Nul .log",
        "LPT1", "com9.c", "AUX", "a/prn", "conin$", std::string("..\0safe", 7), systemSpelling("COM\xC2\xB9"),
        systemSpelling("dir/lpt\xC2\xB2.txt"), systemSpelling("Com\xC2\xB3 .log"), ".", "./.", ". "};
    for (const std::string& name : refused)
        EXPECT_TRUE(leavesDestination(name)) << name;
    const std::string allowed[] = {"file.txt", "dir/sub/file.txt", "dir\\file.txt", "./x", "..x", "x..",
                                   "a..b/c", "console.txt", "com10", "COM0", "lpt", "dir/", "./a/", "./",
                                   std::string("safe\0/../x", 10), systemSpelling("COM\xC2\xB4"),
                                   systemSpelling("LPT\xC2\xB9\xC2\xB9")};
    for (const std::string& name : allowed)
        EXPECT_FALSE(leavesDestination(name)) << name;
}

namespace {
uint16_t storedDate(int year, int month, int day)
{
    return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

uint16_t storedTime(int hour, int minute, int second)
{
    return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}
} // namespace

TEST(StoredTime, AValidDateIsGivenToTheFileAndAnInvalidOneLeavesItsTime)
{
    const std::string path = scratchFolder() + "dated.txt";
    writeBytes(path, "dated");
    CZipFileHeader header;
    header.modificationDate = storedDate(2001, 2, 28);
    header.modificationTime = storedTime(23, 59, 58);
    ASSERT_TRUE(applyStoredTime(path, header));
    std::time_t seconds;
    std::tm local;
    ASSERT_TRUE(os::fileModificationTime(path, seconds) && os::toLocalTime(seconds, local));
    EXPECT_EQ(local.tm_year + 1900, 2001);
    EXPECT_EQ(local.tm_mon + 1, 2);
    EXPECT_EQ(local.tm_mday, 28);
    EXPECT_EQ(local.tm_hour, 23);
    EXPECT_EQ(local.tm_min, 59);
    EXPECT_EQ(local.tm_sec, 58);

    const struct {
        uint16_t date, time;
    } invalid[] = {{0, 0},
                   {storedDate(2001, 2, 29), 0},
                   {storedDate(2001, 13, 1), 0},
                   {storedDate(2001, 4, 31), 0},
                   {storedDate(2001, 1, 1), storedTime(24, 0, 0)},
                   {storedDate(2001, 1, 1), storedTime(1, 60, 0)},
                   {storedDate(2001, 1, 1), storedTime(1, 1, 60)}};
    for (const auto& stored : invalid) {
        header.modificationDate = stored.date;
        header.modificationTime = stored.time;
        EXPECT_FALSE(applyStoredTime(path, header)) << stored.date << " " << stored.time;
    }
    std::time_t unchanged;
    ASSERT_TRUE(os::fileModificationTime(path, unchanged));
    EXPECT_EQ(unchanged, seconds);
    header.modificationDate = storedDate(2000, 2, 29);
    header.modificationTime = 0;
    EXPECT_TRUE(applyStoredTime(path, header)) << "a leap day";
}

// Counts the flushes asked for and lets every operation through.
class CountingFlushes : public os::FileFaults {
public:
    CountingFlushes() : previous_(os::setFileFaults(this)) {}
    ~CountingFlushes() override { os::setFileFaults(previous_); }
    uint32_t allowed(os::FileOperation operation, os::FileHandle, uint32_t count) override
    {
        flushes += operation == os::FileOperation::Flush;
        return count;
    }
    std::atomic<int> flushes{0};

private:
    os::FileFaults* previous_;
};

// A name temporaries once had is an entry's name like any other. Only a file
// that replaces another goes to the disk before it takes the name.
TEST(ExtractedFiles, OnlyAFinishedFileTakesItsNameAndOnlyAReplacingOneIsFlushed)
{
    const std::string folder = scratchFolder();
    writeBytes(folder + "~packrook1.tmp", "another file");
    writeBytes(folder + "cut.txt", "an older copy");
    TemporaryNames names;
    const auto extract = [&](const std::string& name, bool finish) {
        ExtractedFile file(folder + name, names);
        file.write("all of it", 9);
        if (finish)
            file.finish();
    };
    CountingFlushes counting;
    extract("finished.txt", true);
    EXPECT_EQ(counting.flushes, 0) << "a new file";
    extract("~packrook1.tmp", true);
    EXPECT_EQ(counting.flushes, 1) << "a file replaced";
    extract("cut.txt", false);
    extract("none.txt", false);
    std::vector<std::string> left;
    for (const auto& file : std::filesystem::directory_iterator(folder))
        left.push_back(file.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"cut.txt", "finished.txt", "~packrook1.tmp"}));
    EXPECT_EQ(readBytes(folder + "~packrook1.tmp"), "all of it");
    EXPECT_EQ(readBytes(folder + "cut.txt"), "an older copy");
}
