// What other tools write: names in UTF-8, and archives behind data of
// another program.
#include "TestSupport.h"
#include "ZipPaths.h"

#include "ZipBytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace testing_support;

namespace {
const std::string kCafeUtf8 = "caf\xC3\xA9.txt";
// As the system spells it: the ANSI code page (1252 under test) on Windows,
// the file system's bytes elsewhere.
#ifdef _WIN32
const std::string kCafe = "caf\xE9.txt";
#else
const std::string kCafe = kCafeUtf8;
#endif
constexpr uint16_t kUtf8Flag = 0x0800;

void requireCodePage1252()
{
#ifdef _WIN32
    if (GetACP() != 1252)
        GTEST_SKIP() << "the expected names are those of code page 1252";
#endif
}

// The Unicode path block: version 1, the CRC-32 of the name it replaces,
// the name in UTF-8.
std::string unicodePathBlock(const std::string& recordName, const std::string& utf8, uint32_t crcError)
{
    const uint32_t crc = crc32(0L, reinterpret_cast<const Bytef*>(recordName.data()),
                               static_cast<uInt>(recordName.size()));
    const std::string data = "\x01" + field32(crc + crcError) + utf8;
    return field16(0x7075) + field16(static_cast<uint16_t>(data.size())) + data;
}

std::vector<std::string> names(const CZipFile& archive)
{
    std::vector<std::string> result;
    for (int i = 0; i < archive.getFileCount(); ++i)
        result.push_back(archive.getFileHeader(i)->name);
    return result;
}

const std::string kCentralSignature("PK\x01\x02", 4);
}

TEST(EntryNames, Utf8FlagAndAMatchingUnicodePathBlockGiveTheSystemsName)
{
    requireCodePage1252();
    RawEntry flagged("1 " + kCafeUtf8, "1");
    flagged.flags = kUtf8Flag;
    RawEntry block("2 caf\x82.txt", "2");
    block.centralExtra = unicodePathBlock(block.name, "2 " + kCafeUtf8, 0);
    RawEntry stale("3 caf\x82.txt", "3");
    stale.centralExtra = unicodePathBlock(stale.name, "3 " + kCafeUtf8, 1);
    const std::string path = scratchFolder() + "names.zip";
    writeBytes(path, buildZip({flagged, block, stale}));
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(names(archive), std::vector<std::string>({"1 " + kCafe, "2 " + kCafe, "3 caf\x82.txt"}));
    EXPECT_EQ(archive.getFileName(1), "2 " + kCafe);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(readEntry(archive, i), std::to_string(i + 1));
}

TEST(EntryNames, NamesBeyondAsciiAreStoredInUtf8)
{
    requireCodePage1252();
    const std::string folder = scratchFolder();
    const struct {
        std::string name;
        std::string recorded;
        bool flagged;
    } cases[] = {
        {kCafe, kCafeUtf8, true},
        {"plain.txt", "plain.txt", false},
#ifndef _WIN32
        // Bytes that are no UTF-8 cannot claim to be.
        {"latin\xE9.txt", "latin\xE9.txt", false},
#endif
    };
    std::vector<CString> files;
    for (const auto& c : cases) {
        files.push_back(folder + c.name);
        writeBytes(files.back(), c.name);
    }
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.createNewZip(folder + "names.zip"));
    ASSERT_TRUE(archive.addNewFiles(files, 0, false, true));
    archive.close();
    const std::string bytes = readBytes(folder + "names.zip");
    size_t record = bytes.find(kCentralSignature);
    for (const auto& c : cases) {
        EXPECT_EQ((zipbytes::get16(&bytes[record + 8]) & kUtf8Flag) != 0, c.flagged) << c.name;
        EXPECT_EQ(bytes.substr(record + zipbytes::kCentralRecordSize, c.recorded.size()), c.recorded);
        record = bytes.find(kCentralSignature, record + 1);
    }
    ASSERT_TRUE(archive.openZipFile(folder + "names.zip"));
    for (int i = 0; i < archive.getFileCount(); ++i) {
        EXPECT_EQ(archive.getFileHeader(i)->name, cases[i].name);
        EXPECT_EQ(readEntry(archive, i), cases[i].name);
    }
}

#ifdef _WIN32
TEST(EntryNames, ANameTheCodePageCannotHoldIsListedButNeverExtracted)
{
    requireCodePage1252();
    RawEntry cyrillic("\xD0\x96.txt", "x");
    cyrillic.flags = kUtf8Flag;
    const std::string path = scratchFolder() + "cyrillic.zip";
    writeBytes(path, buildZip({cyrillic}));
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(archive.getFileName(0), "?.txt");
    EXPECT_EQ(messageOf([&] { archive.openFile(0); }), "The system's code page cannot hold the name of ?.txt");
    EXPECT_TRUE(refusedForExtraction(archive, 0, "x.txt")) << "passed over by every front end";
}
#endif

// Another maker's self-extractor in front: the offsets count from the
// archive's own start, and stay so through every change.
TEST(DataInFront, ListReadAddAndDeleteKeepIt)
{
    const std::string front(3000, 'P');
    const std::string folder = scratchFolder();
    const std::string path = folder + "prefixed.zip";
    writeBytes(path, front + buildZip({{"one.txt", "1"}, {"two.txt", "22"}, {"three.txt", "333"}}));
    writeBytes(folder + "four.txt", "4444");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(readEntry(archive, 2), "333");
    std::vector<int32_t> first{0};
    archive.removeSomeFiles(first);
    std::vector<CString> files{folder + "four.txt"};
    ASSERT_TRUE(archive.addNewFiles(files, 0, false, true));
    archive.close();
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes.substr(0, front.size()), front);
    EXPECT_EQ(zipbytes::get32(&bytes[endRecordOffset(bytes) + 16]), bytes.find(kCentralSignature) - front.size());
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(names(archive), std::vector<std::string>({"two.txt", "three.txt", "four.txt"}));
    EXPECT_EQ(readEntry(archive, 0), "22");
    EXPECT_EQ(readEntry(archive, 2), "4444");
}
