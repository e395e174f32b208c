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
    // The stored archive's own entry, whole from nestedEnd on.
    std::string nestedContent;
    uint64_t nestedEnd = 0;
};

// A program in front, a deflated text, a stored archive whose own entries
// must not pass for the outer one's while it is whole, an empty file and a
// folder's file.
Sample sample()
{
    Sample result;
    result.nestedContent = "inner " + std::string(50, 'i');
    const std::string inner = buildZip({deflated("inner.txt", result.nestedContent)});
    const std::string text = "the quick brown fox " + std::string(200, 'x');
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
    result.nestedEnd = result.ends[0] + 30 + 9 + inner.find("PK\x01\x02");
    return result;
}
}

// Cut inside the stored archive, the outer entry is not whole, and the
// search goes on through its data: the inner entry, once whole, is found.
TEST(Recovery, EveryCutBringsBackExactlyTheCompleteEntries)
{
    const Sample whole = sample();
    const std::string path = join(scratchFolder(), "cut.zip");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    for (size_t cut = 0; cut <= whole.bytes.size(); ++cut) {
        writeBytes(path, whole.bytes.substr(0, cut));
        std::vector<std::string> expected;
        for (size_t i = 0; i < whole.ends.size() && whole.ends[i] <= cut; ++i)
            expected.push_back(whole.contents[i]);
        if (cut >= whole.nestedEnd && cut < whole.ends[1])
            expected.push_back(whole.nestedContent);
        ASSERT_EQ(archive.openRecovered(path), !expected.empty()) << "cut at " << cut;
        ASSERT_EQ(static_cast<size_t>(archive.getFileCount()), expected.size()) << "cut at " << cut;
        EXPECT_TRUE(expected.empty() || archive.isReadOnly());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(readEntry(archive, static_cast<int>(i)), expected[i]) << "cut at " << cut;
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

// A header that is no whole entry's is stepped over: in the program in
// front one whose sizes run past the end and a stored one streamed without
// a descriptor, 400 deflated lookalikes (charged what inflate took, not a
// chunk each), and entry 2 of 5 with a flipped bit in its size. Lookalikes
// that each send the search to the end of the file use up its work, and
// then it says where it stopped.
TEST(Recovery, HeadersOfNoWholeEntryAreSteppedOver)
{
    auto lookalike = [](uint16_t flags, uint16_t method, uint32_t size) {
        std::string header = buildZip({RawEntry("f", "")}).substr(0, 31);
        zipbytes::put16(&header[6], flags);
        zipbytes::put16(&header[8], method);
        zipbytes::put32(&header[18], size);
        return header;
    };
    std::string front = kProgram + lookalike(0, 0, 0x7FFFFFFF) + lookalike(8, 0, 0) + "no descriptor";
    for (int i = 0; i < 400; ++i)
        front += lookalike(8, 8, 0) + "\x07";
    std::vector<RawEntry> entries;
    for (char name = 'a'; name < 'f'; ++name)
        entries.emplace_back(std::string(1, name), std::string(100000, name));
    std::string bytes = buildZip(entries, "", false, front);
    bytes.resize(bytes.find("PK\x01\x02"));
    bytes[front.size() + 31 + 100000 + 21] |= '\x80';
    const std::string path = join(scratchFolder(), "stepped.zip");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    for (int streamed : {0, 60}) {
        std::string heads;
        for (int i = 0; i < streamed; ++i)
            heads += lookalike(8, 0, 0);
        writeBytes(path, heads + bytes);
        ASSERT_TRUE(archive.openRecovered(path) == (streamed == 0));
        std::string names;
        for (int i = 0; i < archive.getFileCount(); ++i)
            names += readEntry(archive, i).substr(0, 1);
        EXPECT_EQ(names, streamed ? "" : "acde");
        const int64_t unsearched = archive.recoveryUnsearchedFrom();
        EXPECT_TRUE(streamed ? unsearched > 0 && unsearched < static_cast<int64_t>(heads.size()) : unsearched == -1)
            << unsearched;
        archive.close();
    }
}
