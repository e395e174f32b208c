// Changes to archives whose records lie: each change keeps every intact
// entry readable, or is refused with the file left as it was.
#include "TestSupport.h"

#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace testing_support;

namespace {
std::vector<RawEntry> threeEntries()
{
    return {{"e0", std::string(300, '0')}, {"e1", std::string(400, '1')}, {"e2", std::string(500, '2')}};
}

void patch16(std::string& bytes, size_t at, uint16_t value)
{
    zipbytes::put16(&bytes[at], value);
}

void patch32(std::string& bytes, size_t at, uint32_t value)
{
    zipbytes::put32(&bytes[at], value);
}

// Names are never part of the data here: the first match is in the local
// header, the last in the directory.
size_t localRecordOf(const std::string& zip, const std::string& name)
{
    return zip.find(name) - zipbytes::kLocalRecordSize;
}

size_t centralRecordOf(const std::string& zip, const std::string& name)
{
    return zip.rfind(name) - zipbytes::kCentralRecordSize;
}

uint32_t directoryOffsetOf(const std::string& zip)
{
    return zipbytes::get32(zip.data() + endRecordOffset(zip) + 16);
}

// The same entries with the directory in front of their data.
std::string directoryFirst(const std::vector<RawEntry>& entries)
{
    const std::string plain = buildZip(entries);
    const uint32_t size = zipbytes::get32(plain.data() + endRecordOffset(plain) + 12);
    const std::string moved = buildZip(entries, "", false, std::string(size, 'D'));
    const size_t end = endRecordOffset(moved);
    std::string result = moved.substr(end - size, size) + moved.substr(size, end - 2 * size) + moved.substr(end);
    patch32(result, endRecordOffset(result) + 16, 0);
    return result;
}

std::string writeZip(const std::string& bytes)
{
    const std::string path = scratchFolder() + "damaged.zip";
    writeBytes(path, bytes);
    return path;
}

std::string removeEntry(const std::string& path, const std::string& name)
{
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    EXPECT_TRUE(archive.openZipFile(path));
    std::vector<int32_t> indexes{indexOf(archive, name)};
    return messageOf([&] { archive.removeSomeFiles(indexes); });
}

const std::string kRefused = "Cannot safely change the damaged zip file ";
}

TEST(DamagedChange, ExtentsReachingIntoOtherEntriesOrTheDirectoryRefuseRemoval)
{
    const struct {
        const char* damage;
        const char* removed;
        void (*apply)(std::string&);
    } cases[] = {
        {"compressed size into the next entry", "e0",
         [](std::string& z) { patch32(z, centralRecordOf(z, "e0") + 20, 310); }},
        {"last entry into the directory", "e2", [](std::string& z) { patch32(z, centralRecordOf(z, "e2") + 20, 510); }},
        {"offset into the directory", "e1",
         [](std::string& z) { patch32(z, centralRecordOf(z, "e1") + 42, directoryOffsetOf(z) + 10); }},
        {"local extra length 0xFFFF", "e0", [](std::string& z) { patch16(z, localRecordOf(z, "e0") + 28, 0xFFFF); }},
    };
    for (const auto& c : cases) {
        std::string bytes = buildZip(threeEntries());
        c.apply(bytes);
        const std::string path = writeZip(bytes);
        EXPECT_EQ(removeEntry(path, c.removed), kRefused + path) << c.damage;
        EXPECT_EQ(readBytes(path), bytes) << c.damage;
    }
}

// A disk number means nothing in a one-file archive: an entry in front of
// the removed one keeps its place, whatever its number says.
TEST(DamagedChange, RemovalInAOneFileArchiveGoesByPositionNotDiskNumber)
{
    std::string bytes = buildZip(threeEntries());
    patch16(bytes, centralRecordOf(bytes, "e0") + 34, 1);
    const std::string path = writeZip(bytes);
    EXPECT_EQ(removeEntry(path, "e2"), "no exception");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 2);
    EXPECT_EQ(archive.getFileHeader(indexOf(archive, "e0"))->localHeaderOffset, 0u);
    EXPECT_EQ(readEntry(archive, indexOf(archive, "e1")), std::string(400, '1'));
}

// Cutting the file where a directory in front of the data begins would take
// every entry with it.
TEST(DamagedChange, ADirectoryThatIsNotAtTheEndRefusesEveryChange)
{
    const std::string bytes = directoryFirst(threeEntries());
    const std::string path = writeZip(bytes);
    const std::string exe = scratchFolder() + "damaged.exe";
    std::vector<CString> files{scratchFolder() + "new.txt"};
    writeBytes(files[0], "new");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(readEntry(archive, 2), std::string(500, '2'));
    std::vector<int32_t> first{0};
    const std::function<void()> changes[] = {
        [&] { archive.setGlobalComment("new comment"); },
        [&] { archive.addNewFiles(files, 0, false, false); },
        [&] { archive.removeSomeFiles(first); },
        [&] { archive.convertToExe(exe, "", ""); },
    };
    for (const auto& change : changes) {
        EXPECT_EQ(messageOf(change), kRefused + path);
        EXPECT_EQ(readBytes(path), bytes);
    }
    EXPECT_FALSE(std::filesystem::exists(exe));
}

// Zero bytes in a name or the comment are part of them: written back cut
// short, a name no longer matches its local header.
TEST(DamagedChange, ZeroBytesInNamesAndTheCommentSurviveAChange)
{
    const std::string name("a\0b.txt", 7);
    const std::string comment("one\0two", 7);
    const std::string path = writeZip(buildZip({{name, "ab"}, {"c.txt", "c"}}, comment));
    EXPECT_EQ(removeEntry(path, "c.txt"), "no exception");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 1);
    EXPECT_EQ(archive.getFileHeader(0)->name, name);
    EXPECT_EQ(archive.getFileName(0), "a") << "what is shown stops at the zero byte";
    EXPECT_EQ(readEntry(archive, 0), "ab");
    EXPECT_EQ(archive.getGlobalComment(), comment);
}
