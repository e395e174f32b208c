// Extract through the real folder chooser, the overwrite question and its
// memory, a spanned set read disk after disk, refused names, and opening an
// entry with the program of its type.
#include "ConfirmDialog.h"
#include "DialogScript.h"
#include "FolderTree.h"
#include "ManagerTestSupport.h"
#include "Settings.h"
#include "SimulatedDrive.h"
#include "TestSupport.h"
#include "Wildcard.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace manager_testing;
using testing_support::RawEntry;
using testing_support::readBytes;
using Names = std::vector<std::string>;

namespace {
HTREEITEM childWith(HWND tree, HTREEITEM parent, const std::function<bool(const std::string&)>& matches)
{
    for (HTREEITEM child = TreeView_GetChild(tree, parent); child; child = TreeView_GetNextSibling(tree, child))
        if (matches(treeItemText(tree, child)))
            return child;
    return nullptr;
}

// Opens the folders from the drive under My Computer down to path, the way
// a user clicks them open, and selects the last one.
HTREEITEM showFolder(HWND chooser, const std::string& path)
{
    HWND tree = control(chooser, IDC_FOLDER_TREE);
    const HTREEITEM computer = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    const std::string drive = "(" + path.substr(0, 2) + ")";
    HTREEITEM item = childWith(tree, computer, [&](const std::string& text) {
        return text.find(drive) != std::string::npos;
    });
    std::stringstream components(path.substr(3));
    for (std::string name; item && std::getline(components, name, '\\');) {
        if (name.empty())
            continue;
        TreeView_Expand(tree, item, TVE_EXPAND);
        item = childWith(tree, item, [&](const std::string& text) { return _stricmp(text.c_str(), name.c_str()) == 0; });
    }
    if (item) {
        TreeView_SelectItem(tree, item);
        TreeView_EnsureVisible(tree, item);
    }
    return item;
}

BOOL CALLBACK findBoxOver(HWND window, LPARAM param)
{
    auto& box = *reinterpret_cast<std::pair<HWND, HWND>*>(param);
    if (::GetWindow(window, GW_OWNER) != box.first || !::IsWindowVisible(window))
        return TRUE;
    box.second = window;
    return FALSE;
}

// The message box that the dialog, run by another thread, raises over itself.
HWND boxOver(HWND dialog)
{
    std::pair<HWND, HWND> box{dialog, nullptr};
    for (const DWORD start = ::GetTickCount(); !box.second && ::GetTickCount() - start < 30000; ::Sleep(20))
        ::EnumThreadWindows(::GetWindowThreadProcessId(dialog, nullptr), findBoxOver, reinterpret_cast<LPARAM>(&box));
    return box.second;
}

bool waitFor(const std::function<bool()>& done)
{
    for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 30000; ::Sleep(20))
        if (done())
            return true;
    return false;
}

DialogStep choosingFolder(const std::string& path)
{
    return [path](HWND chooser) {
        EXPECT_NE(showFolder(chooser, path), nullptr) << path;
        press(chooser, IDOK);
    };
}

std::string confirmText(const std::string& target)
{
    return "The file " + target + " already exists\r\n\r\nDo You want to overwrite it?";
}

// Presses a button of the overwrite question and keeps its text.
DialogStep answering(int button, std::vector<std::string>& questions)
{
    return [button, &questions](HWND dialog) {
        questions.push_back(textOf(dialog, IDC_CONFIRM_TEXT));
        press(dialog, button);
    };
}

std::vector<int> localTimeOf(const std::string& path)
{
    std::time_t seconds = 0;
    std::tm stamp = {};
    if (!os::fileModificationTime(path, seconds) || !os::toLocalTime(seconds, stamp))
        return {};
    return {stamp.tm_year + 1900, stamp.tm_mon + 1, stamp.tm_mday, stamp.tm_hour, stamp.tm_min, stamp.tm_sec};
}

bool exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class Extraction : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override { resetSettings(); }

    void openArchive(const std::vector<RawEntry>& entries)
    {
        testing_support::writeBytes(folder + "archive.zip", testing_support::buildZip(entries));
        window.open(folder + "archive.zip");
    }

    // Extract into target; the steps after the chooser answer what comes next.
    void extractTo(const std::string& target, std::vector<DialogStep> after = {})
    {
        after.insert(after.begin(), choosingFolder(target));
        const size_t expected = after.size();
        EXPECT_EQ(runCommand(window.handle(), ID_ACTIONS_EXTRACT, std::move(after)).size(), expected);
    }

    // Extract into out, which exists; the text of the one message that follows.
    std::string extractToOutAndReadMessage()
    {
        std::filesystem::create_directories(out);
        std::string told;
        extractTo(out, {[&](HWND box) {
            told = messageOf(box);
            press(box, IDOK);
        }});
        return told;
    }

    std::string makeFile(const std::string& name, const std::string& content = "old")
    {
        std::filesystem::create_directories(std::filesystem::path(out + name).parent_path());
        testing_support::writeBytes(out + name, content);
        return out + name;
    }

    const std::string folder = dotlessScratchFolder();
    const std::string out = folder + "out\\";
    TestWindow window;
};

const std::vector<RawEntry> kFourFiles = {{"one.txt", "1"}, {"two.txt", "2"}, {"three.txt", "3"}, {"four.txt", "4"}};

TEST_F(Extraction, AllEntriesLandUnderTheirPathsWithEmptyFoldersAndStoredTimes)
{
    openArchive({{"top.txt", "top"},
                 testing_support::deflated("docs/deep/inner.txt", std::string(3000, 'i')),
                 {"empty/", ""},
                 {"docs/also empty/", ""}});
    std::filesystem::create_directories(out);
    extractTo(out);
    EXPECT_EQ(readBytes(out + "top.txt"), "top");
    EXPECT_EQ(readBytes(out + "docs\\deep\\inner.txt"), std::string(3000, 'i'));
    EXPECT_TRUE(isFolder(out + "empty") && isFolder(out + "docs\\also empty"));
    // buildZip stamps every entry 2024-05-17 13:45:44.
    EXPECT_EQ(localTimeOf(out + "docs\\deep\\inner.txt"), std::vector<int>({2024, 5, 17, 13, 45, 44}));
}

// Names in Chinese, Greek, Arabic and with an emoji, as Python wrote them,
// on a system whose code page is 1252; some of their paths pass the 260
// characters of old.
TEST_F(Extraction, NamesOfEveryLanguageLandIntoADeepFolder)
{
    const std::string target = folder + "目标 Ωμέγα\\" + std::string(250 - folder.size(), 'd');
    std::filesystem::create_directories(std::filesystem::u8path(target));
    window.open(testing_support::testdata(testing_support::kLanguagesSample));
    extractTo(target);
    for (const std::string& name : testing_support::languageNames())
        EXPECT_EQ(readBytes(target + "\\" + testing_support::localName(name)), name) << name;
}

TEST_F(Extraction, ASelectionBringsNoEmptyFolders)
{
    openArchive({{"top.txt", "top"}, {"docs/inner.txt", "inner"}, {"empty/", ""}});
    window.selectRow("inner.txt");
    std::filesystem::create_directories(out);
    extractTo(out);
    EXPECT_EQ(readBytes(out + "docs\\inner.txt"), "inner");
    EXPECT_FALSE(exists(out + "top.txt"));
    EXPECT_FALSE(exists(out + "empty"));
}

TEST_F(Extraction, NoSkipsOneFileAndNoToAllStopsTheRun)
{
    openArchive(kFourFiles);
    makeFile("one.txt");
    makeFile("two.txt");
    makeFile("four.txt");
    std::vector<std::string> questions;
    extractTo(out, {answering(IDC_CONFIRM_NO, questions), answering(IDC_CONFIRM_NO_TO_ALL, questions)});
    EXPECT_EQ(questions, Names({confirmText(out + "one.txt"), confirmText(out + "two.txt")}));
    EXPECT_EQ(readBytes(out + "one.txt"), "old");
    EXPECT_EQ(readBytes(out + "two.txt"), "old");
    EXPECT_FALSE(exists(out + "three.txt")) << "No To All ends the command";
}

TEST_F(Extraction, YesToAllAndTheRememberedAnswerOverwriteWithoutAsking)
{
    openArchive(kFourFiles);
    for (const char* name : {"one.txt", "three.txt", "four.txt"})
        makeFile(name);
    std::vector<std::string> questions;
    extractTo(out, {answering(IDC_CONFIRM_YES_TO_ALL, questions)});
    EXPECT_EQ(questions, Names{confirmText(out + "one.txt")});
    EXPECT_EQ(readBytes(out + "four.txt"), "4");

    makeFile("two.txt");
    settings::writeSettingInt(settings::kPrefs, ConfirmDialog::suppressionKey(ConfirmDialog::kFileExists), 1);
    extractTo(out);
    EXPECT_EQ(readBytes(out + "two.txt"), "2");
}

// A drive's root is the one folder the chooser gives with a backslash at its end.
TEST_F(Extraction, AFolderEndingInABackslashGetsNoSecondOne)
{
    const std::string name = "packrook-root-test.txt";
    openArchive({{name, "new"}});
    testing_support::writeBytes("C:\\" + name, "old");
    std::vector<std::string> questions;
    extractTo("C:\\", {answering(IDC_CONFIRM_YES, questions)});
    EXPECT_EQ(questions, Names{confirmText("C:\\" + name)});
    EXPECT_EQ(readBytes("C:\\" + name), "new");
    ::DeleteFileA(("C:\\" + name).c_str());
}

TEST_F(Extraction, HostileNamesAreRefusedAndTheRestLands)
{
    const Names hostile = {"../up.txt", "docs\\..\\..\\up2.txt", "C:x.txt", "good.txt:stream", "docs/nul.txt",
                           "../outside/"};
    std::vector<RawEntry> entries = {{"good.txt", "good"}, {"docs/fine.txt", "fine"}};
    for (const std::string& name : hostile)
        entries.emplace_back(name, "");
    openArchive(entries);
    const std::string told = extractToOutAndReadMessage();
    EXPECT_EQ(readBytes(out + "good.txt"), "good");
    EXPECT_EQ(readBytes(out + "docs\\fine.txt"), "fine");
    for (const char* name : {"up.txt", "up2.txt", "outside", "out\\outside"})
        EXPECT_FALSE(exists(folder + name)) << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 2) << "good.txt and docs only";
    for (const char* shown : {"..\\up.txt", "docs\\..\\..\\up2.txt", "C:x.txt", "good.txt:stream", "docs\\nul.txt",
                              "..\\outside\\"})
        EXPECT_NE(told.find(std::string("\r\n") + shown), std::string::npos) << shown << " in " << told;
}

TEST_F(Extraction, AnEntryWithBadDataIsReportedAndLeavesNoFile)
{
    RawEntry damaged("damaged.txt", "these bytes do not match the stored check value");
    damaged.crcOfData = false;
    damaged.crc = 0x12345678;
    openArchive({{"good.txt", "good"}, damaged});
    const std::string told = extractToOutAndReadMessage();
    EXPECT_EQ(readBytes(out + "good.txt"), "good");
    EXPECT_FALSE(exists(out + "damaged.txt"));
    EXPECT_NE(told.find("Corrupt zip file found when exstacting damaged.txt"), std::string::npos) << told;
}

TEST_F(Extraction, AWrongRememberedPasswordIsAskedForAgain)
{
    std::filesystem::copy_file(windowsPath(testing_support::testdata("infozip_encrypted.zip")), folder + "locked.zip");
    window.open(folder + "locked.zip");
    window.selectRow("readme.txt");
    runCommand(window.handle(), ID_ACTIONS_PASSWORD, {[](HWND dialog) {
                   setText(dialog, IDC_PASSWORD_EDIT, "wrong");
                   press(dialog, IDOK);
               }});
    std::filesystem::create_directories(out);
    std::string asked;
    std::string note;
    std::string field;
    bool choiceShown = true;
    extractTo(out, {[&](HWND dialog) {
        asked = windowText(dialog);
        note = textOf(dialog, IDC_PASSWORD_NOTE);
        field = textOf(dialog, IDC_PASSWORD_EDIT);
        choiceShown = control(dialog, IDC_PASSWORD_AES) != nullptr;
        setText(dialog, IDC_PASSWORD_EDIT, "secret");
        press(dialog, IDOK);
    }});
    EXPECT_EQ(asked, "Enter Password");
    EXPECT_EQ(note, "The password did not fit readme.txt. Enter the right one:");
    EXPECT_EQ(field, "") << "the password that did not fit is not offered again";
    EXPECT_FALSE(choiceShown) << "the choice of encryption is for adding";
    EXPECT_EQ(readBytes(out + "readme.txt"), "Packrook sample archive.\n");
}

TEST_F(Extraction, ASpannedSetIsReadDiskAfterDiskFromRowsInAnyOrder)
{
    testing_support::SimulatedDrive drive(folder + "set", std::vector<uint32_t>(6, 3000));
    std::vector<CString> sources = writeLetterFiles(folder, 'h');
    {
        testing_support::DiskChanger changer(drive);
        CZipFile writer(&changer);
        ASSERT_TRUE(writer.createNewZip(drive.path("set.zip")));
        ASSERT_TRUE(writer.addNewFiles(sources, 3, false, false));
    }
    ASSERT_GE(drive.disksWritten(), 3);
    window.open(drive.path("set.zip"));
    ASSERT_EQ(window.column(0).size(), 8u);
    for (const char* name : {"g.bin", "b.bin", "e.bin", "a.bin"})
        window.selectRow(name);
    std::vector<int> asked;
    std::filesystem::create_directories(out);
    extractTo(out, std::vector<DialogStep>(3, insertingAskedDisk(drive, asked)));
    for (const char* name : {"a.bin", "b.bin", "e.bin", "g.bin"})
        EXPECT_EQ(readBytes(out + name), std::string(1000, name[0])) << name;
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_TRUE(std::is_sorted(asked.begin(), asked.end())) << "each disk once, from the first";
}

// The tree's context menu sends its commands for the folder the right click selected.
TEST_F(Extraction, TheChooserNumbersANewFolderRenamesItAndKeepsAFolderThatHoldsAFile)
{
    openArchive({{"a.txt", "a"}});
    std::filesystem::create_directories(out + "New Folder");
    makeFile("full\\kept.txt");
    std::string told;
    std::string selectedAfterCreate;
    bool editingAfterCreate = false;
    runCommand(window.handle(), ID_ACTIONS_EXTRACT, {[&](HWND chooser) {
                   HWND tree = control(chooser, IDC_FOLDER_TREE);
                   showFolder(chooser, out);
                   ::SendMessageA(chooser, WM_COMMAND, ID_FOLDER_CREATE, 0);
                   selectedAfterCreate = treeItemText(tree, TreeView_GetSelection(tree));
                   HWND edit = TreeView_GetEditControl(tree);
                   editingAfterCreate = edit != nullptr;
                   ::SetWindowTextA(edit, "Renamed");
                   TreeView_EndEditLabelNow(tree, FALSE);
                   showFolder(chooser, out + "full");
                   ::PostMessageA(chooser, WM_COMMAND, ID_FOLDER_DELETE, 0);
                   HWND box = boxOver(chooser);
                   told = messageOf(box);
                   press(box, IDOK);
                   waitFor([&] { return !::IsWindow(box); });
                   press(chooser, IDCANCEL);
               }});
    EXPECT_EQ(selectedAfterCreate, "New Folder (2)");
    ASSERT_TRUE(editingAfterCreate) << "a new folder is offered for renaming";
    EXPECT_TRUE(isFolder(out + "Renamed"));
    EXPECT_FALSE(isFolder(out + "New Folder (2)"));
    EXPECT_EQ(told, "The folder cold not be deleted.\r\n\r\nIt may not be empty");
    EXPECT_TRUE(exists(out + "full\\kept.txt"));
    EXPECT_FALSE(exists(out + "a.txt")) << "Cancel extracts nothing";
}

class Association : public Extraction {
protected:
    void SetUp() override
    {
        Extraction::SetUp();
        const std::string command = "cmd.exe /c echo %1> \"" + folder + "opened.txt\"";
        // Wine's shell reads types from the machine's classes only.
        ::RegSetKeyValueA(HKEY_CLASSES_ROOT, kType, nullptr, REG_SZ, "PackrookTest.Type", 18);
        ::RegSetKeyValueA(HKEY_CLASSES_ROOT, "PackrookTest.Type\\shell\\open\\command", nullptr,
                          REG_SZ, command.c_str(), static_cast<DWORD>(command.size() + 1));
    }
    void TearDown() override
    {
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kType);
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "PackrookTest.Type");
        Extraction::TearDown();
    }

    // What the program of the type was started with.
    std::string openedPath()
    {
        const std::string record = folder + "opened.txt";
        pumpUntil([&] { return readBytes(record).find('\n') != std::string::npos; }, 30000);
        std::string opened = readBytes(record);
        ::DeleteFileA(record.c_str());
        return opened.substr(0, opened.find_last_not_of("\r\n \"") + 1).substr(opened.find_first_not_of('"'));
    }

    static constexpr const char* kType = ".pkrtest";
};

TEST_F(Association, DoubleClickOpensTheWorkCopyAndReplacesItWithoutAsking)
{
    openArchive({{"docs/entry.pkrtest", "entry data"}, {"plain.pkrnone", "plain"}});
    window.selectRow("entry.pkrtest");
    const std::string copy = windowsPath(os::tempFolder()) + "Packrook\\entry.pkrtest";
    const ShowRecorder shown;
    for (int time = 0; time < 2; ++time) {
        window.notifyList(NM_DBLCLK);
        EXPECT_EQ(_stricmp(openedPath().c_str(), copy.c_str()), 0);
        EXPECT_EQ(readBytes(copy), "entry data");
        testing_support::writeBytes(copy, "changed by its program");
    }
    const Names classes = shown.shownClasses();
    EXPECT_EQ(std::count(classes.begin(), classes.end(), "#32770"), 0) << "no question, no message";
    ListView_SetItemState(window.list(), -1, 0, LVIS_SELECTED);
    window.selectRow("plain.pkrnone");
    std::string told;
    DialogScript script(::GetCurrentThreadId(), {[&](HWND box) {
                                                     told = messageOf(box);
                                                     press(box, IDOK);
                                                 }});
    window.notifyList(NM_DBLCLK);
    EXPECT_EQ(told, "There is no association with this file.\nPlease create one first");
    EXPECT_EQ(readBytes(windowsPath(os::tempFolder()) + "Packrook\\plain.pkrnone"), "plain");
}
} // namespace
