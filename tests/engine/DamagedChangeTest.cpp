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

// Both disk numbers (at 4) or both counts (at 8) of the end record set to value.
std::string withEndRecordPair(std::string zip, size_t at, uint16_t value)
{
    patch16(zip, endRecordOffset(zip) + at, value);
    patch16(zip, endRecordOffset(zip) + at + 2, value);
    return zip;
}

// The classic end record's fields that overflow all ones, and the ZIP64
// end record and locator with the given count and offset in front of it.
std::string withZip64EndRecords(const std::string& zip, uint64_t count, uint64_t offset)
{
    const size_t end = endRecordOffset(zip);
    const uint64_t size = zipbytes::get32(zip.data() + end + 12);
    const std::string record = field32(zipbytes::kZip64EndSignature) + field64(44) + field16(45) + field16(45)
                               + field32(0) + field32(0) + field64(count) + field64(count) + field64(size)
                               + field64(offset);
    const std::string locator = field32(zipbytes::kZip64LocatorSignature) + field32(0) + field64(end) + field32(1);
    std::string classic = zip.substr(end);
    patch16(classic, 8, 0xFFFF);
    patch16(classic, 10, 0xFFFF);
    patch32(classic, 16, 0xFFFFFFFF);
    return zip.substr(0, end) + record + locator + classic;
}

// The entry's central record says its local header lies at 0xFFFFFFFF and
// gives the real place in a ZIP64 block.
std::string withZip64Offset(const std::string& zip, const std::string& name, uint64_t offset)
{
    const size_t record = centralRecordOf(zip, name);
    const std::string block = field16(1) + field16(8) + field64(offset);
    std::string result = zip;
    patch32(result, record + 42, 0xFFFFFFFF);
    patch16(result, record + 30, static_cast<uint16_t>(block.size()));
    result.insert(record + zipbytes::kCentralRecordSize + name.size(), block);
    const size_t end = endRecordOffset(result);
    patch32(result, end + 12, zipbytes::get32(result.data() + end + 12) + static_cast<uint32_t>(block.size()));
    return result;
}

// Comment, add, delete and conversion are each refused, and the file stays as it was.
void expectEveryChangeRefused(const std::string& path, const std::string& what)
{
    const std::string bytes = readBytes(path);
    const std::string exe = scratchFolder() + "damaged.exe";
    std::vector<CString> files{scratchFolder() + "new.txt"};
    writeBytes(files[0], "new");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path)) << what;
    std::vector<int32_t> last{static_cast<int32_t>(archive.getFileCount() - 1)};
    const std::function<void()> changes[] = {
        [&] { archive.setGlobalComment("new comment"); },
        [&] { archive.addNewFiles(files, 0, false, false); },
        [&] { archive.removeSomeFiles(last); },
        [&] { archive.convertToExe(exe, "", ""); },
    };
    for (const auto& change : changes) {
        EXPECT_EQ(messageOf(change), "Cannot safely change the damaged zip file " + path) << what;
        EXPECT_EQ(readBytes(path), bytes) << what;
    }
    EXPECT_FALSE(std::filesystem::exists(exe)) << what;
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

// Records that contradict each other or the file are read as other tools
// read them, as far as they allow; nothing is changed on their word.
TEST(DamagedChange, RecordsThatDisagreeAreReadButRefuseEveryChange)
{
    const std::string plain = buildZip(threeEntries());
    const struct {
        const char* damage;
        std::function<std::string()> bytes;
        std::vector<std::string> listed;
    } cases[] = {
        // Cutting the file where the directory begins would take every entry with it.
        {"directory in front of the data", [] { return directoryFirst(threeEntries()); }, {"e0", "e1", "e2"}},
        {"ZIP64 directory offset past 2^63",
         [&] { return withZip64EndRecords(plain, 3, (1ull << 63) + directoryOffsetOf(plain)); }, {"e0", "e1", "e2"}},
        {"ZIP64 local header offset near 2^64",
         [&] { return withZip64Offset(plain, "e0", UINT64_MAX - 40); }, {"e1", "e2", "e0"}},
        {"end record counting 2 of 3 records", [&] { return withEndRecordPair(plain, 8, 2); }, {"e0", "e1", "e2"}},
        {"ZIP64 end record counting 2 of 3 records",
         [&] { return withZip64EndRecords(plain, 2, directoryOffsetOf(plain)); }, {"e0", "e1", "e2"}},
        {"end record naming disk 1 of a one-file archive", [&] { return withEndRecordPair(plain, 4, 1); },
         {"e0", "e1", "e2"}},
    };
    for (const auto& c : cases) {
        const std::string path = writeZip(c.bytes());
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(path)) << c.damage;
        std::vector<std::string> listed;
        for (int i = 0; i < archive.getFileCount(); ++i)
            listed.push_back(archive.getFileHeader(i)->name);
        EXPECT_EQ(listed, c.listed) << c.damage;
        EXPECT_EQ(readEntry(archive, indexOf(archive, "e2")), std::string(500, '2')) << c.damage;
        archive.close();
        expectEveryChangeRefused(path, c.damage);
    }
}

// A locator is more than its signature: bytes shaped like the ZIP64 end
// records at the end of the last entry's comment stay part of the directory,
// also once a deletion leaves that entry the only one.
TEST(DamagedChange, ZIP64RecordsInsideAnEntryCommentAreNoLocator)
{
    const std::string plain = buildZip({{"first", "1"}, {"last", "2"}});
    const size_t end = endRecordOffset(plain);
    const uint64_t fakeAt = end;  // where the comment, and the record shaped in it, begins
    const std::string fake = field32(zipbytes::kZip64EndSignature) + field64(44) + field16(45) + field16(45)
                             + field32(0) + field32(0) + field64(7) + field64(7) + field64(99) + field64(0)
                             + field32(zipbytes::kZip64LocatorSignature) + field32(0) + field64(fakeAt) + field32(1);
    std::string bytes = plain.substr(0, end) + fake + plain.substr(end);
    patch16(bytes, centralRecordOf(bytes, "last") + 32, static_cast<uint16_t>(fake.size()));
    patch32(bytes, endRecordOffset(bytes) + 12, zipbytes::get32(bytes.data() + endRecordOffset(bytes) + 12)
                                                      + static_cast<uint32_t>(fake.size()));
    const std::string path = writeZip(bytes);
    EXPECT_EQ(removeEntry(path, "first"), "no exception");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 1);
    EXPECT_EQ(readEntry(archive, 0), "2");
    EXPECT_EQ(archive.getFileHeader(0)->comment, fake);
}

// Data in front is told by where the end records put the directory, not by
// what happens to lie at its recorded offset inside that data.
TEST(DamagedChange, DataInFrontHoldingADirectorySignatureAtTheRecordedOffset)
{
    const std::string plain = buildZip(threeEntries());
    std::string front(2000, 'P');
    front.replace(directoryOffsetOf(plain), 4, "PK\x01\x02");
    const std::string path = writeZip(front + plain);
    EXPECT_EQ(removeEntry(path, "e0"), "no exception");
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 2);
    EXPECT_EQ(readEntry(archive, 0), std::string(400, '1'));
    EXPECT_EQ(readEntry(archive, 1), std::string(500, '2'));
    EXPECT_EQ(readBytes(path).substr(0, front.size()), front);
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

// A name is found whole: "a.txt" is not the entry "a.txt" followed by a zero
// byte and more.
TEST(DamagedChange, ReplacingFindsTheWholeName)
{
    const std::string hidden("a.txt\0hidden", 12);
    const std::string path = writeZip(buildZip({{hidden, "hidden"}, {"a.txt", "old"}}));
    const std::string source = scratchFolder() + "a.txt";
    writeBytes(source, "new");
    std::vector<CString> files{source};
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_TRUE(archive.addNewFiles(files, 0, false, true));
    archive.close();
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 2);
    EXPECT_EQ(readEntry(archive, indexOf(archive, hidden)), "hidden");
    EXPECT_EQ(readEntry(archive, indexOf(archive, "a.txt")), "new");
}
