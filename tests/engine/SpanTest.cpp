// Spanned sets on a simulated removable drive: writing them disk by disk,
// the layout on each disk, reading them back from any disk, refused disks.
#include "SimulatedDrive.h"
#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

using namespace testing_support;
using namespace zipbytes;

namespace {
constexpr uint32_t kFloppy = 1457664;  // free bytes on a formatted 1.44 MB disk
const std::string kSetName = "set.zip";

struct Source {
    std::string name;
    uint32_t size;
    bool random;
};

std::string contentFor(const Source& source)
{
    std::mt19937 generator(source.size);
    std::string bytes(source.size, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = source.random ? static_cast<char>(generator()) : "packrook spans disks\n"[i % 21];
    return bytes;
}

// The files to add, written to a folder beside the drive, by name.
std::map<std::string, std::string> makeSources(const std::string& folder, const std::vector<Source>& sources,
                                               std::vector<CString>& paths)
{
    std::map<std::string, std::string> contents;
    for (const Source& source : sources) {
        contents[source.name] = contentFor(source);
        paths.push_back(join(folder, source.name));
        writeBytes(paths.back(), contents[source.name]);
    }
    return contents;
}

std::vector<Source> manySmallFiles(int count)
{
    std::vector<Source> sources;
    for (int i = 0; i < count; ++i)
        sources.push_back({"entry_with_a_rather_long_name_" + std::to_string(100 + i) + ".txt",
                           static_cast<uint32_t>(40 + i), true});
    return sources;
}

// Walks the disks independently of the engine: every record lies whole on
// one disk, each entry's data runs on across disk ends into its descriptor.
class SetLayout {
public:
    SetLayout(const SimulatedDrive& drive) : count_(drive.disksWritten())
    {
        for (int disk = 0; disk < count_; ++disk)
            disks_.push_back(drive.contentOf(disk, kSetName));
    }

    void check()
    {
        ASSERT_GT(count_, 0);
        EXPECT_EQ(disks_[0].substr(0, 4), std::string("PK\x07\x08", 4)) << "span marker";
        const std::string& last = disks_.back();
        const size_t end = last.rfind(std::string("PK\x05\x06", 4));
        ASSERT_NE(end, std::string::npos);
        ASSERT_EQ(end + kEndRecordSize, last.size()) << "the end record ends the last disk";
        EXPECT_EQ(get16(&last[end + 4]), count_ - 1);
        startDisk_ = get16(&last[end + 6]);
        Position at{startDisk_, get32(&last[end + 16])};
        for (uint16_t i = 0; i < get16(&last[end + 10]); ++i)
            checkCentralRecord(at);
        moveOnAtDiskEnd(at);
        EXPECT_EQ(at.disk, count_ - 1);
        EXPECT_EQ(at.offset, end) << "the directory runs up to the end record";
    }

    int startDisk() const { return startDisk_; }

private:
    struct Position {
        int disk;
        size_t offset;
    };

    // A record that would start at a disk's end starts the next disk instead.
    void moveOnAtDiskEnd(Position& at) const
    {
        if (at.offset == disks_[static_cast<size_t>(at.disk)].size() && at.disk + 1 < count_) {
            ++at.disk;
            at.offset = 0;
        }
    }

    const char* wholeRecordAt(Position& at, size_t size)
    {
        moveOnAtDiskEnd(at);
        EXPECT_LT(at.disk, count_);
        if (at.disk >= count_)
            return nullptr;
        const std::string& disk = disks_[static_cast<size_t>(at.disk)];
        EXPECT_LE(at.offset + size, disk.size()) << "record split on disk " << at.disk;
        return at.offset + size <= disk.size() ? &disk[at.offset] : nullptr;
    }

    void checkCentralRecord(Position& at)
    {
        const char* record = wholeRecordAt(at, kCentralRecordSize);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(get32(record), kCentralSignature);
        const size_t size = kCentralRecordSize + get16(record + 28) + get16(record + 30) + get16(record + 32);
        ASSERT_NE(wholeRecordAt(at, size), nullptr);
        at.offset += size;
        checkEntry({get16(record + 34), get32(record + 42)}, get16(record + 28), record);
    }

    void checkEntry(Position at, uint16_t nameLength, const char* central)
    {
        const char* local = wholeRecordAt(at, kLocalRecordSize + nameLength);
        ASSERT_NE(local, nullptr);
        EXPECT_EQ(get32(local), kLocalSignature);
        at.offset += kLocalRecordSize + nameLength;
        uint32_t left = get32(central + 20);
        while (left > 0) {
            const size_t here = disks_[static_cast<size_t>(at.disk)].size() - at.offset;
            const size_t take = std::min<size_t>(left, here);
            left -= static_cast<uint32_t>(take);
            at.offset += take;
            if (left > 0) {
                ASSERT_LT(++at.disk, count_);
                at.offset = 0;
            }
        }
        const char* descriptor = wholeRecordAt(at, kDescriptorSize);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(get32(descriptor), kDescriptorSignature);
        EXPECT_EQ(std::string(descriptor + 4, 12), std::string(central + 16, 12)) << "CRC and sizes";
    }

    int count_;
    int startDisk_ = 0;
    std::vector<std::string> disks_;
};

struct WrittenSet {
    std::map<std::string, std::string> contents;
    std::vector<int> disksAsked;
};

WrittenSet writeSet(SimulatedDrive& drive, const std::vector<Source>& sources)
{
    std::vector<CString> paths;
    WrittenSet set{makeSources(scratchFolder(), sources, paths), {}};
    DiskChanger changer(drive);
    CZipFile archive(&changer);
    // Files larger than a block are deflated on two threads, ahead of the
    // disks, which are still written one after the other.
    archive.setThreadCount(2);
    EXPECT_TRUE(archive.createNewZip(drive.path(kSetName)));
    EXPECT_TRUE(archive.isSpanningMode());
    EXPECT_TRUE(archive.addNewFiles(paths, 0, false, false));
    EXPECT_FALSE(archive.isBufferedMode());
    set.disksAsked = changer.disksAsked;
    return set;
}

void expectSetReadsBack(SimulatedDrive& drive, int fromDisk, const WrittenSet& set)
{
    SCOPED_TRACE("opened on disk " + std::to_string(fromDisk + 1));
    drive.insert(fromDisk);
    DiskChanger changer(drive);
    CZipFile archive(&changer);
    ASSERT_TRUE(archive.openZipFile(drive.path(kSetName)));
    ASSERT_EQ(archive.getFileCount(), static_cast<long>(set.contents.size()));
    if (fromDisk != drive.lastWrittenDisk()) {
        EXPECT_EQ(changer.disksAsked.front(), -1) << "the last disk comes first";
    }
    for (int i = 0; i < archive.getFileCount(); ++i) {
        const std::string name = archive.getFileHeader(i)->name;
        EXPECT_TRUE(readEntry(archive, i) == set.contents.at(name)) << name;
    }
}

void writeAndReadBack(const std::vector<uint32_t>& capacities, const std::vector<Source>& sources, int disks)
{
    SimulatedDrive drive(scratchFolder(), capacities);
    const WrittenSet set = writeSet(drive, sources);
    ASSERT_EQ(drive.disksWritten(), disks);
    std::vector<int> newDisks;
    for (int disk = 2; disk <= disks; ++disk)
        newDisks.push_back(disk);
    EXPECT_EQ(set.disksAsked, newDisks) << "each new disk asked for once, in order";
    for (int disk = 0; disk < disks; ++disk)
        EXPECT_LE(drive.contentOf(disk, kSetName).size(), drive.capacity(disk)) << "disk " << disk + 1;
    SetLayout(drive).check();
    for (int disk : {0, disks / 2, disks - 1})
        expectSetReadsBack(drive, disk, set);
}
}

TEST(Spanning, TwoFloppies)
{
    writeAndReadBack(std::vector<uint32_t>(4, kFloppy),
                     {{"photo.bin", 1000000, true}, {"notes.txt", 300000, false}, {"more.bin", 600000, true}}, 2);
}

TEST(Spanning, AnEntryLargerThanTheBufferAndADiskCrossesThreeFloppies)
{
    writeAndReadBack(std::vector<uint32_t>(4, kFloppy), {{"small.txt", 5000, false}, {"huge.bin", 3000000, true}}, 3);
}

TEST(Spanning, FiveSmallDisksWithTheDirectoryAcrossDiskEnds)
{
    SimulatedDrive drive(scratchFolder(), std::vector<uint32_t>(8, 3000));
    const WrittenSet set = writeSet(drive, manySmallFiles(60));
    ASSERT_EQ(drive.disksWritten(), 5);
    SetLayout layout(drive);
    layout.check();
    EXPECT_LT(layout.startDisk(), 4) << "the directory starts before the last disk";
    for (int disk : {0, 2, 4})
        expectSetReadsBack(drive, disk, set);
}

void expectWholeRecords(const std::string& folder, uint32_t capacity, const std::vector<Source>& sources)
{
    SimulatedDrive drive(folder, std::vector<uint32_t>(12, capacity));
    const WrittenSet set = writeSet(drive, sources);
    SetLayout(drive).check();
    expectSetReadsBack(drive, drive.lastWrittenDisk(), set);
}

// Between them, the two sweeps put a disk end on every kind of record.
TEST(Spanning, RecordsStayWholeWhereverTheDiskEndsFall)
{
    for (uint32_t capacity = 1500; capacity < 1600; capacity += 7) {
        SCOPED_TRACE("disks of " + std::to_string(capacity) + " bytes");
        expectWholeRecords(join(scratchFolder(), std::to_string(capacity)), capacity, manySmallFiles(25));
    }
    for (int files = 10; files < 50; files += 2) {
        SCOPED_TRACE(std::to_string(files) + " files");
        expectWholeRecords(join(scratchFolder(), "files" + std::to_string(files)), 1500, manySmallFiles(files));
    }
}

TEST(SpanningStream, RecordsMoveWholeToTheNextDiskAndDataFillsEachDisk)
{
    SimulatedDrive drive(scratchFolder(), {52, 76, 200});
    DiskChanger changer(drive);
    CZipFile archive(&changer);
    ASSERT_TRUE(archive.createNewZip(drive.path(kSetName)));  // a 22-byte end record: 30 bytes free
    const std::string record(46, 'r');
    archive.write(record.data(), 46, true);
    EXPECT_EQ(changer.disksAsked, std::vector<int>({2}));
    EXPECT_EQ(archive.GetCurrentDisk(), 1);
    const std::string data(100, 'd');
    archive.write(data.data(), 100, false);  // 30 bytes free on the second disk
    EXPECT_EQ(changer.disksAsked, std::vector<int>({2, 3}));
    changer.refuseFrom = 2;
    const std::string more(500, 'm');
    const std::string message = messageOf([&] { archive.write(more.data(), 500, false); });
    EXPECT_EQ(message.substr(0, 28), "Failed to write the file\r\n\r\n");
    EXPECT_FALSE(archive.is_open());
    EXPECT_EQ(drive.contentOf(0, kSetName).size(), 22u);
    EXPECT_EQ(drive.contentOf(1, kSetName), record + data.substr(0, 30));
    EXPECT_EQ(drive.contentOf(2, kSetName), data.substr(30) + more.substr(0, 130));
}

TEST(SpanningRefused, NextDiskWhileAddingClosesTheSetAndKeepsNoBytesForTheNext)
{
    SimulatedDrive refusing(join(scratchFolder(), "refused"), {200000, 200000});
    std::vector<CString> paths;
    makeSources(scratchFolder(), {{"big.bin", 300000, true}}, paths);
    DiskChanger changer(refusing);
    changer.refuseFrom = 0;
    CZipFile archive(&changer);
    ASSERT_TRUE(archive.createNewZip(refusing.path(kSetName)));
    EXPECT_EQ(messageOf([&] { archive.addNewFiles(paths, 0, false, false); }), "Zip Spanning Failed");
    EXPECT_EQ(changer.disksAsked, std::vector<int>({2}));
    EXPECT_FALSE(archive.is_open());
    EXPECT_FALSE(archive.isBufferedMode());
    EXPECT_FALSE(archive.addNewFiles(paths, 0, false, false)) << "a closed archive takes no files";
    EXPECT_LE(refusing.contentOf(0, kSetName).size(), 200000u);

    SimulatedDrive drive(join(scratchFolder(), "next"), {5000, 5000});
    const WrittenSet set = writeSet(drive, {{"small.txt", 3000, false}});
    SetLayout(drive).check();
    expectSetReadsBack(drive, 0, set);
}

// A spanned set keeps to the classic limits, which the tools that read
// spanned sets expect: checked before anything is written.
TEST(SpanningRefused, FilesPastTheClassicLimits)
{
    SimulatedDrive drive(join(scratchFolder(), "drive"), {kFloppy, kFloppy});
    std::vector<CString> paths;
    makeSources(scratchFolder(), {{"small.txt", 100, false}}, paths);
    const std::string huge = join(scratchFolder(), "huge.bin");
    writeBytes(huge, "");
    std::filesystem::resize_file(huge, 5ull << 30);
    paths.push_back(huge);
    DiskChanger changer(drive);
    CZipFile archive(&changer);
    ASSERT_TRUE(archive.createNewZip(drive.path(kSetName)));
    const std::string before = drive.contentOf(0, kSetName);
    EXPECT_EQ(messageOf([&] { archive.addNewFiles(paths, 0, false, false); }),
              "File too large for a zip archive " + huge);
    std::filesystem::remove(huge);
    EXPECT_EQ(drive.contentOf(0, kSetName), before);
}

class SpanningReadRefused : public ::testing::Test {
protected:
    // Three floppies: a large entry crosses all of them, the directory lies on the last.
    void SetUp() override { set_ = writeSet(drive_, {{"small.txt", 5000, false}, {"huge.bin", 3000000, true}}); }

    void openRefusingFrom(CZipFile& archive, DiskChanger& changer, int disk, int refuseFrom)
    {
        drive_.insert(disk);
        changer.refuseFrom = refuseFrom;
        ASSERT_TRUE(archive.openZipFile(drive_.path(kSetName)));
    }

    SimulatedDrive drive_{scratchFolder(), std::vector<uint32_t>(4, kFloppy)};
    WrittenSet set_;
};

TEST_F(SpanningReadRefused, TheLastDisk)
{
    drive_.insert(0);
    DiskChanger changer(drive_);
    changer.refuseFrom = 0;
    CZipFile archive(&changer);
    EXPECT_FALSE(archive.openZipFile(drive_.path(kSetName)));
    EXPECT_FALSE(archive.is_open());
    EXPECT_EQ(changer.disksAsked, std::vector<int>({-1}));
    expectSetReadsBack(drive_, 0, set_);
}

TEST_F(SpanningReadRefused, TheDiskAnEntryStartsOn)
{
    DiskChanger changer(drive_);
    CZipFile archive(&changer);
    openRefusingFrom(archive, changer, 2, 0);
    const int small = indexOf(archive, "small.txt");
    EXPECT_EQ(messageOf([&] { archive.openFile(small); }), "Unable to open file small.txt");
    EXPECT_EQ(changer.disksAsked, std::vector<int>({1}));
    EXPECT_FALSE(archive.is_open());
    expectSetReadsBack(drive_, 2, set_);
}

TEST_F(SpanningReadRefused, TheNextDiskInTheMiddleOfAnEntry)
{
    DiskChanger changer(drive_);
    CZipFile archive(&changer);
    openRefusingFrom(archive, changer, 2, 1);
    const int huge = indexOf(archive, "huge.bin");
    const std::string expected = "Corrupt zip file found when exstacting huge.bin\r\n\r\n";
    EXPECT_EQ(messageOf([&] { readEntry(archive, huge); }).substr(0, expected.size()), expected);
    EXPECT_EQ(changer.disksAsked, std::vector<int>({1, 2}));
    archive.closeFile(huge);
    expectSetReadsBack(drive_, 1, set_);
}

TEST_F(SpanningReadRefused, NoDiskPastTheLastOneIsAskedFor)
{
    DiskChanger changer(drive_);
    CZipFile archive(&changer);
    openRefusingFrom(archive, changer, 2, -1);
    archive.seekg(-10, CZipFile::end);
    char bytes[100];
    EXPECT_EQ(archive.read(bytes, sizeof bytes, true), 10u);
    EXPECT_TRUE(changer.disksAsked.empty());
}

TEST(SpanningRefused, TheDiskWhereTheDirectoryStarts)
{
    SimulatedDrive drive(scratchFolder(), std::vector<uint32_t>(8, 3000));
    writeSet(drive, manySmallFiles(60));
    SetLayout layout(drive);
    layout.check();
    ASSERT_LT(layout.startDisk(), drive.lastWrittenDisk());
    drive.insert(drive.lastWrittenDisk());
    DiskChanger changer(drive);
    changer.refuseFrom = 0;
    CZipFile archive(&changer);
    EXPECT_EQ(messageOf([&] { archive.openZipFile(drive.path(kSetName)); }),
              "Couldn't open the zip information start disk");
    EXPECT_EQ(changer.disksAsked, std::vector<int>({layout.startDisk() + 1}));
    EXPECT_FALSE(archive.is_open());
}
