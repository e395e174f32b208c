#include "EntryRecord.h"
#include "DialogScript.h"
#include "ManagerTestSupport.h"
#include "TestSupport.h"
#include "resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace manager_testing;
using testing_support::RawEntry;

namespace {
using Texts = std::vector<std::string>;

RawEntry stored(const std::string& name, const std::string& data)
{
    return RawEntry(name, data);
}

// a.txt, b.txt, c.txt in stored order, a folder entry, a file inside it,
// an entry whose 2 stored bytes stand for nothing, and one with the
// largest CRC.
std::string sampleArchive()
{
    std::vector<RawEntry> entries{stored("a.txt", std::string(10, 'a')), stored("b.txt", std::string(9, 'b')),
                                  stored("c.txt", std::string(100, 'c')), stored("docs/", ""),
                                  stored("docs/inner.txt", "inner")};
    RawEntry empty = stored("zero.bin", "xy");
    empty.uncompressedSize = 0;
    entries.push_back(empty);
    RawEntry crc = stored("crc.bin", "z");
    crc.crcOfData = false;
    crc.crc = 0xFFFFFFFF;
    entries.push_back(crc);
    const std::string path = testing_support::scratchFolder() + "sample.zip";
    testing_support::writeBytes(path, testing_support::buildZip(entries));
    return path;
}

class EntryListView : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override { resetSettings(); }

    // What the message boxes said while the archive opened, each answered OK.
    Texts openedSaying(const std::string& path)
    {
        DialogAnswerer answerer(::GetCurrentThreadId(), IDOK);
        window.open(path);
        return answerer.texts();
    }

    TestWindow window;
};

TEST_F(EntryListView, RowsShowEntriesNewestFirstWithoutFolders)
{
    const std::string path = sampleArchive();
    window.open(path);
    EXPECT_EQ(window.column(kColumnName), (Texts{"crc.bin", "zero.bin", "inner.txt", "c.txt", "b.txt", "a.txt"}));
    EXPECT_EQ(window.column(kColumnCompressed), (Texts{"1", "2", "5", "100", "9", "10"}));
    EXPECT_EQ(window.column(kColumnRatio), (Texts{"100%", "200%", "100%", "100%", "100%", "100%"}));
    EXPECT_EQ(window.column(kColumnCrc)[0], "4294967295");
    EXPECT_EQ(window.column(kColumnPath)[2], "docs\\");
    EXPECT_EQ(window.column(kColumnPath)[3], "");
    EXPECT_EQ(window.title(), "Packrook   " + path);
}

TEST_F(EntryListView, SizesOf4GiBAndMoreShowInFull)
{
    RawEntry huge = testing_support::deflated("huge.bin", "stands in for 5 GiB");
    huge.uncompressedSize = 0xFFFFFFFF;
    huge.centralExtra = testing_support::field16(1) + testing_support::field16(8) + testing_support::field64(5ull << 30);
    const std::string path = testing_support::scratchFolder() + "huge.zip";
    testing_support::writeBytes(path, testing_support::buildZip({huge}));
    window.open(path);
    EXPECT_EQ(window.column(kColumnUncompressed), (Texts{"5368709120"}));
    EXPECT_EQ(window.column(kColumnRatio), (Texts{"0%"}));
}

TEST_F(EntryListView, ColumnClicksFlipTheDirection)
{
    window.open(sampleArchive());
    window.clickColumn(kColumnName);
    EXPECT_EQ(window.column(kColumnName), (Texts{"zero.bin", "inner.txt", "crc.bin", "c.txt", "b.txt", "a.txt"}));
    window.clickColumn(kColumnRatio);
    EXPECT_EQ(window.column(kColumnRatio).back(), "200%");
    EXPECT_EQ(window.column(kColumnRatio).front(), "100%");
    // Sizes compare as numbers, not as text.
    window.clickColumn(kColumnCompressed);
    EXPECT_EQ(window.column(kColumnCompressed), (Texts{"100", "10", "9", "5", "2", "1"}));
    window.clickColumn(kColumnCompressed);
    EXPECT_EQ(window.column(kColumnCompressed), (Texts{"1", "2", "5", "9", "10", "100"}));
}

TEST_F(EntryListView, CommandStatesFollowTheArchive)
{
    // What start-up does without an archive on the command line.
    window.main().openPendingArchive();
    EXPECT_FALSE(window.toolbarEnabled(ID_ACTIONS_ADD));
    EXPECT_FALSE(window.toolbarEnabled(ID_ACTIONS_EXTRACT));
    EXPECT_FALSE(window.menuEnabled(ID_FILE_CLOSE));
    EXPECT_TRUE(window.toolbarEnabled(ID_FILE_OPEN));

    window.open(sampleArchive());
    EXPECT_TRUE(window.toolbarEnabled(ID_ACTIONS_ADD));
    EXPECT_TRUE(window.toolbarEnabled(ID_ACTIONS_EXTRACT));
    EXPECT_TRUE(window.toolbarEnabled(ID_FILE_CONVERT));
    EXPECT_TRUE(window.menuEnabled(ID_ACTIONS_COMMENT));
    EXPECT_FALSE(window.toolbarEnabled(ID_ACTIONS_DELETE));
    EXPECT_FALSE(window.menuEnabled(ID_ACTIONS_DELETE));

    ListView_SetItemState(window.list(), 1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_TRUE(window.toolbarEnabled(ID_ACTIONS_DELETE));
    EXPECT_TRUE(window.menuEnabled(ID_ACTIONS_DELETE));
}

TEST_F(EntryListView, ReadOnlyArchiveCannotBeChanged)
{
    const std::string path = sampleArchive();
    // Another program reading it without sharing write access.
    HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    window.open(path);
    EXPECT_EQ(window.title(), "Packrook   " + path + " - Read Only ");
    EXPECT_EQ(window.column(kColumnName).size(), 6u);
    ListView_SetItemState(window.list(), 0, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_FALSE(window.toolbarEnabled(ID_ACTIONS_ADD));
    EXPECT_FALSE(window.toolbarEnabled(ID_ACTIONS_DELETE));
    EXPECT_FALSE(window.menuEnabled(ID_ACTIONS_ADD));
    EXPECT_FALSE(window.menuEnabled(ID_ACTIONS_DELETE));
    EXPECT_TRUE(window.toolbarEnabled(ID_ACTIONS_EXTRACT));
    window.main().archive().close();
    ::CloseHandle(reader);
}

// An archive whose directory was cut off opens read-only with a note, and
// Repair writes its entries to a new archive beside it, leaving it as it was.
TEST_F(EntryListView, ArchiveWithoutDirectoryOpensReadOnlyAndRepairs)
{
    const std::string folder = testing_support::scratchFolder();
    const std::string whole = testing_support::buildZip({stored("a.txt", "first"), stored("docs/b.txt", "second")});
    const std::string cut = whole.substr(0, whole.find("PK\x01\x02"));
    const std::string path = folder + "cut.zip";
    testing_support::writeBytes(path, cut);
    Texts shown = openedSaying(path);
    ASSERT_EQ(shown.size(), 1u) << window.title();
    EXPECT_NE(shown[0].find("shown read-only"), std::string::npos) << shown[0];
    EXPECT_EQ(window.title(), "Packrook   " + path + " - Read Only - Damaged, use File > Repair ");
    EXPECT_EQ(window.column(kColumnName), (Texts{"b.txt", "a.txt"}));
    EXPECT_FALSE(window.menuEnabled(ID_ACTIONS_ADD));
    EXPECT_TRUE(window.menuEnabled(ID_FILE_REPAIR));
    {
        DialogAnswerer answerer(::GetCurrentThreadId(), IDYES);
        ::SendMessageA(window.handle(), WM_COMMAND, ID_FILE_REPAIR, 0);
        shown = answerer.texts();
    }
    ASSERT_EQ(shown.size(), 1u);
    const std::string repaired = folder + "cut.repaired.zip";
    EXPECT_EQ(shown[0],
              "Packrook|Write the 2 entries found to a new archive with a fresh directory?\r\n\r\n" + repaired);
    EXPECT_EQ(window.title(), "Packrook   " + repaired);
    EXPECT_FALSE(window.menuEnabled(ID_FILE_REPAIR));
    EXPECT_TRUE(window.menuEnabled(ID_ACTIONS_ADD));
    window.main().archive().close();
    EXPECT_EQ(storedNames(repaired), (Texts{"a.txt", "docs\\b.txt"}));
    EXPECT_EQ(testing_support::readBytes(path), cut);
}

// An archive the engine would refuse to change (its end record counts an
// entry fewer than its directory holds) is read-only from the start, with a
// note, before anything is typed for a change.
TEST_F(EntryListView, ArchiveWhoseRecordsDisagreeOpensReadOnly)
{
    std::string bytes = testing_support::buildZip({stored("a.txt", "first"), stored("b.txt", "second")});
    const size_t end = testing_support::endRecordOffset(bytes);
    bytes[end + 8] = bytes[end + 10] = 1;
    const std::string path = testing_support::scratchFolder() + "miscounted.zip";
    testing_support::writeBytes(path, bytes);
    const Texts shown = openedSaying(path);
    ASSERT_EQ(shown.size(), 1u) << window.title();
    EXPECT_NE(shown[0].find("shown read-only"), std::string::npos) << shown[0];
    EXPECT_EQ(window.title(), "Packrook   " + path + " - Read Only ");
    EXPECT_FALSE(window.menuEnabled(ID_ACTIONS_ADD));
    bool cancelShown = true;
    runCommand(window.handle(), ID_ACTIONS_COMMENT, {[&](HWND dialog) {
                   cancelShown = ::IsWindowVisible(control(dialog, IDCANCEL));
                   press(dialog, IDOK);
               }});
    EXPECT_FALSE(cancelShown) << "the comment is shown, not edited";
}

TEST_F(EntryListView, CloseFromTheListEmptiesTheView)
{
    window.open(sampleArchive());
    // Accelerators reach the list when it has the focus; it hands commands on.
    ::SendMessageA(window.list(), WM_COMMAND, ID_FILE_CLOSE, 0);
    EXPECT_TRUE(window.column(kColumnName).empty());
    EXPECT_EQ(window.title(), "Packrook   ");
    EXPECT_FALSE(window.menuEnabled(ID_FILE_CLOSE));
    EXPECT_FALSE(window.main().archive().is_open());
}

TEST_F(EntryListView, FileThatIsNoArchiveIsReported)
{
    const std::string path = testing_support::scratchFolder() + "notes.zip";
    testing_support::writeBytes(path, std::string(3000, 'n'));
    std::vector<std::string> shown;
    {
        DialogAnswerer answerer(::GetCurrentThreadId(), IDOK);
        window.open(path);
        shown = answerer.texts();
    }
    ASSERT_EQ(shown.size(), 1u) << window.title() << " open " << window.main().archive().is_open();
    EXPECT_EQ(shown[0], "Packrook|Packrook cannot open this type of file.\r\n\r\nIt does not have a standard Zip "
                        "file format");
    EXPECT_EQ(window.title(), "Packrook   ");
    EXPECT_TRUE(window.main().archivePath().empty());
}

TEST_F(EntryListView, RecentArchiveThatVanishedIsCreatedEmpty)
{
    const std::string first = testing_support::scratchFolder() + "first.zip";
    const std::string gone = testing_support::scratchFolder() + "gone.zip";
    window.main().updateRecentFiles(gone);
    window.main().updateRecentFiles(first);
    ::SendMessageA(window.handle(), WM_COMMAND, ID_FILE_RECENT2, 0);
    EXPECT_EQ(window.title(), "Packrook   " + gone);
    EXPECT_TRUE(window.main().archive().is_open());
    EXPECT_EQ(testing_support::readBytes(gone).size(), 22u);
}
} // namespace

namespace {
int rowImage(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ListView_GetItem(list, &item);
    return item.iImage;
}

int shellImage(const std::string& name)
{
    SHFILEINFOA info = {};
    ::SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    return info.iIcon;
}

TEST_F(EntryListView, RowsShowTheShellsIconForTheirName)
{
    window.open(sampleArchive());
    const Texts names = window.column(kColumnName);
    for (size_t row = 0; row < names.size(); ++row)
        EXPECT_EQ(rowImage(window.list(), static_cast<int>(row)), shellImage(names[row])) << names[row];
}

TEST_F(EntryListView, SortingKeepsTheSelectionAndTypingFindsNames)
{
    window.open(sampleArchive());
    ListView_SetItemState(window.list(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    window.clickColumn(kColumnName);
    const int selected = ListView_GetNextItem(window.list(), -1, LVNI_SELECTED);
    EXPECT_EQ(window.column(kColumnName)[static_cast<size_t>(selected)], "crc.bin");
    EXPECT_EQ(ListView_GetNextItem(window.list(), -1, LVNI_FOCUSED), selected);
    EXPECT_EQ(ListView_GetSelectedCount(window.list()), 1u);

    // Most rows selected: all but the one of crc.bin, wherever it goes.
    ListView_SetItemState(window.list(), -1, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(window.list(), selected, 0, LVIS_SELECTED);
    window.clickColumn(kColumnName);
    const Texts names = window.column(kColumnName);
    const int crcRow = static_cast<int>(std::find(names.begin(), names.end(), "crc.bin") - names.begin());
    EXPECT_NE(crcRow, selected) << "the rows moved";
    EXPECT_EQ(ListView_GetSelectedCount(window.list()), 5u);
    EXPECT_EQ(ListView_GetItemState(window.list(), crcRow, LVIS_SELECTED), 0u);
    EXPECT_TRUE(window.toolbarEnabled(ID_ACTIONS_DELETE));

    LVFINDINFOA typed = {};
    typed.flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP;
    typed.psz = "IN";
    const int found = static_cast<int>(::SendMessageA(window.list(), LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                                      reinterpret_cast<LPARAM>(&typed)));
    ASSERT_GE(found, 0);
    EXPECT_EQ(window.column(kColumnName)[static_cast<size_t>(found)], "inner.txt");
}
} // namespace

namespace {
// Tar and gzip files are read through their own readers and never count as
// a changeable archive.
TEST_F(EntryListView, TarAndGzipFilesOpenReadOnly)
{
    const std::string folder = testing_support::scratchFolder();
    testing_support::writeBytes(folder + "inside.txt", "inside");
    runOnHost("cd '" + hostPath(folder) + "' && tar -cf packed.tar inside.txt && gzip -k inside.txt");
    for (const std::string name : {"packed.tar", "inside.txt.gz"}) {
        std::vector<std::string> shown;
        {
            DialogAnswerer answerer(::GetCurrentThreadId(), IDOK);
            window.open(folder + name);
            shown = answerer.texts();
        }
        EXPECT_TRUE(shown.empty()) << name << ": " << (shown.empty() ? "" : shown[0]);
        EXPECT_EQ(window.title(), "Packrook   " + folder + name + " - Read Only ");
        EXPECT_EQ(window.column(kColumnName).size(), 1u) << name;
        EXPECT_FALSE(window.toolbarEnabled(ID_ACTIONS_ADD));
        EXPECT_FALSE(window.toolbarEnabled(ID_FILE_CONVERT)) << "only a zip archive heads a program";
        EXPECT_TRUE(window.toolbarEnabled(ID_ACTIONS_EXTRACT));
        EXPECT_TRUE(window.menuEnabled(ID_ACTIONS_COMMENT));
    }
    ::SendMessageA(window.handle(), WM_COMMAND, ID_FILE_CLOSE, 0);
    EXPECT_TRUE(window.column(kColumnName).empty());
}
} // namespace
