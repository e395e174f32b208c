// Archives without a usable directory, read from their local headers: cut
// at every byte, every entry whose data is complete comes back whole and
// nothing else does; the repaired archive keeps a program in front and
// never takes the place of another file.
#include "TestSupport.h"
#include "ZipBytes.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {
const std::string kProgram = "MZ" + std::string(300, '\x90');

struct Sample {
    std::string bytes;
    std::vector<std::string> contents;
    std::vector<uint64_t> ends;  // where each entry's bytes end
};

// A program in front, a deflated text, a stored archive whose own entries
// must never pass for the outer one's, an empty file and a folder's file.
Sample sample()
{
    const std::string inner = buildZip({deflated("inner.txt", "inner " + std::string(50, 'i'))});
    const std::string text = "the quick brown fox " + std::string(200, 'x');
    Sample result;
    result.contents = {text, inner, "", "deep down"};
    result.bytes = buildZip({deflated("a.txt", text), RawEntry("inner.zip", inner), RawEntry("empty.txt", ""),
                             deflated("b/c.txt", "deep down")},
                            "", false, kProgram);
    const std::string path = join(scratchFolder(), "whole.zip");
    writeBytes(path, result.bytes);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    EXPECT_TRUE(archive.openZipFile(path));
    for (long i = 1; i < archive.getFileCount(); ++i)
        result.ends.push_back(archive.getFileHeader(i)->localHeaderOffset);
    result.ends.push_back(ZipFileTestAccess::centralDir(archive).directoryPosition());
    return result;
}
}

TEST(Recovery, EveryCutBringsBackExactlyTheCompleteEntries)
{
    const Sample whole = sample();
    const std::string path = join(scratchFolder(), "cut.zip");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    for (size_t cut = 0; cut <= whole.bytes.size(); ++cut) {
        writeBytes(path, whole.bytes.substr(0, cut));
        const size_t complete = static_cast<size_t>(
            std::count_if(whole.ends.begin(), whole.ends.end(), [&](uint64_t end) { return end <= cut; }));
        ASSERT_EQ(archive.openRecovered(path), complete > 0) << "cut at " << cut;
        ASSERT_EQ(static_cast<size_t>(archive.getFileCount()), complete) << "cut at " << cut;
        EXPECT_TRUE(complete == 0 || archive.isReadOnly());
        for (size_t i = 0; i < complete; ++i)
            EXPECT_EQ(readEntry(archive, static_cast<int>(i)), whole.contents[i]) << "cut at " << cut;
        archive.close();
    }
}

TEST(Recovery, RepairKeepsTheProgramInFrontAndReplacesNoFile)
{
    const Sample whole = sample();
    const std::string folder = scratchFolder();
    const std::string damaged = join(folder, "damaged.exe");
    const std::string repaired = join(folder, "repaired.exe");
    const std::string cut = whole.bytes.substr(0, whole.ends.back() + 20);
    writeBytes(damaged, cut);
    writeBytes(repaired, "taken");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openRecovered(damaged));
    EXPECT_NE(messageOf([&] { archive.writeRepaired(repaired); }), "no exception");
    EXPECT_EQ(readBytes(repaired), "taken");
    std::remove(repaired.c_str());
    ASSERT_TRUE(archive.openRecovered(damaged));
    ASSERT_TRUE(archive.writeRepaired(repaired));
    EXPECT_FALSE(archive.isRecovered());
    ASSERT_EQ(archive.getFileCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(readEntry(archive, i), whole.contents[static_cast<size_t>(i)]);
    EXPECT_EQ(readBytes(repaired).substr(0, kProgram.size()), kProgram);
    EXPECT_EQ(readBytes(damaged), cut);
}

// Counts the bytes read from files.
class CountingReads : public os::FileFaults {
public:
    uint32_t allowed(os::FileOperation operation, os::FileHandle, uint32_t count) override
    {
        if (operation == os::FileOperation::Read)
            bytesRead += count;
        return count;
    }
    uint64_t bytesRead = 0;
};

// Headers that claim more data each than is read at once, and fail its
// CRC: each is checked, but all of them together cost a few passes over
// the file, not their claims added up.
TEST(Recovery, FalseHeadersCostBoundedWork)
{
    RawEntry fake("f", "");
    fake.crcOfData = false;
    fake.crc = 1;
    std::string header = buildZip({fake});
    header.resize(30 + 1);
    zipbytes::put32(&header[18], 3000000);
    zipbytes::put32(&header[22], 3000000);
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += header;
    bytes += std::string(3000000, 'z');
    const std::string path = join(scratchFolder(), "false.zip");
    writeBytes(path, bytes);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    CountingReads reads;
    os::FileFaults* previous = os::setFileFaults(&reads);
    EXPECT_FALSE(archive.openRecovered(path));
    os::setFileFaults(previous);
    EXPECT_LT(reads.bytesRead, 40 * bytes.size()) << reads.bytesRead;
}
