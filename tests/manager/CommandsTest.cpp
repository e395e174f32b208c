// The File and Actions commands driven as a user would, through the real
// file dialogs and their panels; results checked on disk with the peers.
#include "AddOptions.h"
#include "AddOptionsPanel.h"
#include "DialogScript.h"
#include "EntryRecord.h"
#include "ManagerTestSupport.h"
#include "Settings.h"
#include "TestSupport.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace manager_testing;
using testing_support::RawEntry;
using Names = std::vector<std::string>;

namespace {
class Commands : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override
    {
        addOptions() = AddOptions();
        resetSettings();
    }

    std::string makeFile(const std::string& name, const std::string& content = "some text")
    {
        const std::string path = folder + name;
        ::CreateDirectoryA(path.substr(0, path.rfind('\\')).c_str(), nullptr);
        testing_support::writeBytes(path, content);
        return path;
    }

    std::string makeArchive(const std::string& name, const std::vector<RawEntry>& entries)
    {
        const std::string path = folder + name;
        testing_support::writeBytes(path, testing_support::buildZip(entries));
        return path;
    }

    std::vector<std::string> run(int command, std::vector<DialogStep> steps)
    {
        const size_t expected = steps.size();
        const auto titles = runCommand(window.handle(), command, std::move(steps));
        EXPECT_EQ(titles.size(), expected) << "dialogs of command " << command;
        return titles;
    }

    // The add dialog opens in the folder of the file added last.
    void addFrom(const std::string& first) { settings::writeSettingString(settings::kPrefs, "LastFileAdded", first); }

    std::string peerTest(const std::string& archive, const std::string& unzipOptions = "")
    {
        return runOnHost("unzip " + unzipOptions + " -t '" + hostPath(archive) + "'");
    }

    // What the archive holds once the window has let go of it.
    Names closedNames(const std::string& archive)
    {
        window.main().archive().close();
        return storedNames(archive);
    }

    // Without a dot, so that New and Convert To EXE add an extension.
    const std::string folder = dotlessScratchFolder();
    TestWindow window;
};

constexpr const char* kPeerOk = "No errors detected";

void chooseEncryption(HWND password, int radio)
{
    setCheck(password, IDC_PASSWORD_AES, radio == IDC_PASSWORD_AES);
    setCheck(password, IDC_PASSWORD_ZIPCRYPTO, radio == IDC_PASSWORD_ZIPCRYPTO);
}

TEST_F(Commands, OpenWithShowAddAddsTheChosenFiles)
{
    const std::string archive = makeArchive("open.zip", {RawEntry("old.txt", "old")});
    const std::string first = makeFile("a.txt");
    makeFile("b.txt");
    addFrom(first);
    const auto titles = run(ID_FILE_OPEN, {[&](HWND dialog) {
                                               setCheck(dialog, IDC_SHOW_ADD, true);
                                               chooseFile(dialog, archive);
                                           },
                                           choosing("\"a.txt\" \"b.txt\"")});
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(window.title(), "Packrook   " + archive);
    EXPECT_EQ(window.column(0), (Names{"b.txt", "a.txt", "old.txt"}));
    EXPECT_EQ(closedNames(archive), (Names{"old.txt", "a.txt", "b.txt"}));
    EXPECT_EQ(settings::readSettingString(settings::kPrefs, "LastPicked", ""), archive);
    EXPECT_EQ(settings::readSettingString(settings::kPrefs, "LastFile1", ""), archive);
    EXPECT_EQ(settings::readSettingString(settings::kPrefs, "LastFileAdded", ""), first);
    EXPECT_NE(peerTest(archive).find(kPeerOk), std::string::npos);
}

TEST_F(Commands, NewAddsZipToANameWithoutDotAndAsksBeforeReplacing)
{
    run(ID_FILE_NEW, {choosing(folder + "fresh")});
    EXPECT_EQ(window.title(), "Packrook   " + folder + "fresh.zip");
    EXPECT_EQ(testing_support::readBytes(folder + "fresh.zip").size(), 22u);

    const std::string existing = makeArchive("existing.zip", {RawEntry("keep.txt", "keep")});
    const std::string before = testing_support::readBytes(existing);
    std::string question;
    run(ID_FILE_NEW, {choosing(existing), [&](HWND box) {
                          question = messageOf(box);
                          press(box, IDNO);
                      }});
    EXPECT_EQ(question, "The file already exists do you want to overwrite it?");
    EXPECT_EQ(testing_support::readBytes(existing), before);
    run(ID_FILE_NEW, {choosing(existing), pressing(IDYES)});
    EXPECT_EQ(window.title(), "Packrook   " + existing);
    EXPECT_TRUE(closedNames(existing).empty());
}

TEST_F(Commands, WildcardsWithSubfoldersAddSubfolderFilesFirst)
{
    const std::string top = makeFile("src\\top.txt");
    makeFile("src\\top.doc");
    makeFile("src\\sub\\inner.txt");
    makeFile("src\\sub\\deeper\\deep.txt");
    window.open(folder + "wild.zip");
    addFrom(top);
    run(ID_ACTIONS_ADD, {[](HWND dialog) {
            setText(dialog, 0x480, "*.txt");
            setText(dialog, 0x47c, "*.txt");
            setCheck(dialog, IDC_ADD_SUBFOLDERS, true);
            press(dialog, IDC_ADD_WILDCARDS);
        }});
    EXPECT_EQ(closedNames(folder + "wild.zip"), (Names{"deep.txt", "inner.txt", "top.txt"}));
    EXPECT_EQ(settings::readSettingString(settings::kPrefs, "LastFileAdded", ""), folder + "src\\*.txt");
    EXPECT_EQ(settings::readSettingInt(settings::kPrefs, "RecurseFolders", 0), 1);
}

TEST_F(Commands, WildcardsTypedWithTheirFullPathAddFromThatFolder)
{
    makeFile("src\\wanted.txt");
    makeFile("src\\other.doc");
    const std::string pattern = folder + "src\\*.txt";
    window.open(folder + "full.zip");
    addFrom(makeFile("elsewhere\\start.txt"));
    run(ID_ACTIONS_ADD, {[&](HWND dialog) {
            setText(dialog, 0x480, pattern);
            setText(dialog, 0x47c, pattern);
            press(dialog, IDC_ADD_WILDCARDS);
        }});
    EXPECT_EQ(closedNames(folder + "full.zip"), Names{"wanted.txt"});
    EXPECT_EQ(settings::readSettingString(settings::kPrefs, "LastFileAdded", ""), pattern);
}

// Far more names than the buffer given in advance holds, typed into the
// name field as the dialog writes a selection there. (Adding them all would
// only time the engine.)
TEST_F(Commands, TheAddDialogHandsBackEveryNameOfALargeSelection)
{
    constexpr int kCount = 5000;
    const std::string source = folder + "many";
    std::filesystem::create_directories(source);
    runOnHost("cd '" + hostPath(source) + "' && seq 10000 " + std::to_string(10000 + kCount - 1) +
              " | sed 's/.*/a file whose name is long enough to fill buffers &.txt/' | tr '\\n' '\\0' | xargs -0 touch");
    std::string typed;
    for (int i = 0; i < kCount; ++i)
        typed += "\"a file whose name is long enough to fill buffers " + std::to_string(10000 + i) + ".txt\" ";
    AddOptionsPanel panel(::GetModuleHandleA(nullptr));
    FileRequest request;
    request.initialFile = source + "\\start.txt";
    request.flags = OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
    request.bufferSize = 64 * 1024;
    bool chosen = false;
    {
        DialogScript script(::GetCurrentThreadId(), {choosing(typed)});
        chosen = panel.show(window.handle(), request);
    }
    ASSERT_TRUE(chosen);
    const std::vector<CString> strings = panel.chosen();
    ASSERT_EQ(strings.size(), static_cast<size_t>(kCount + 1));
    EXPECT_EQ(strings.front(), source);
    EXPECT_EQ(strings.back(), "a file whose name is long enough to fill buffers " + std::to_string(10000 + kCount - 1) + ".txt");
}

TEST_F(Commands, PasswordGivenOnceEncryptsLaterAddsToo)
{
    const std::string archive = folder + "secret.zip";
    const std::string one = makeFile("one.txt", std::string(5000, 'o'));
    makeFile("two.txt", std::string(5000, 't'));
    window.open(archive);
    addFrom(one);
    Names methods;
    run(ID_ACTIONS_ADD, {[&](HWND dialog) {
                             methods = comboLines(dialog, IDC_ADD_METHOD);
                             selectComboLine(dialog, IDC_ADD_METHOD, 2);
                             setCheck(dialog, IDC_ADD_PASSWORD, true);
                             chooseFile(dialog, "one.txt");
                         },
                         [](HWND password) {
                             setText(password, IDC_PASSWORD_EDIT, "s3cret");
                             chooseEncryption(password, IDC_PASSWORD_ZIPCRYPTO);
                             press(password, IDOK);
                         }});
    EXPECT_EQ(methods, (Names{"Normal", "Fast", "Maximum", "None"}));
    EXPECT_EQ(settings::readSettingInt(settings::kPrefs, "ChosenMethod", 0), 2);
    int method = -1;
    bool passwordTicked = false;
    run(ID_ACTIONS_ADD, {[&](HWND dialog) {
            method = comboSelection(dialog, IDC_ADD_METHOD);
            passwordTicked = isChecked(dialog, IDC_ADD_PASSWORD);
            setCheck(dialog, IDC_ADD_PASSWORD, false);
            chooseFile(dialog, "two.txt");
        }});
    EXPECT_EQ(method, 0) << "the list opens on \"Normal\" whatever was chosen last";
    EXPECT_TRUE(passwordTicked) << "the box remembers its last state";
    EXPECT_EQ(closedNames(archive), (Names{"one.txt", "two.txt"}));
    const std::string right = peerTest(archive, "-P s3cret");
    EXPECT_NE(right.find(kPeerOk), std::string::npos) << right;
    const std::string wrong = peerTest(archive, "-P wrong");
    EXPECT_EQ(wrong.find(" OK"), std::string::npos) << wrong;
}

// A new password encrypts with AES-256 unless the user picks Zip 2.0; the
// dialog opens on the choice made last.
TEST_F(Commands, PasswordDialogOffersAesFirstAndRemembersTheChoice)
{
    const std::string archive = folder + "strong.zip";
    const std::string file = makeFile("strong.txt", std::string(5000, 's'));
    window.open(archive);
    bool aesPreselected = false;
    run(ID_ACTIONS_PASSWORD, {[&](HWND password) {
            aesPreselected = isChecked(password, IDC_PASSWORD_AES) && !isChecked(password, IDC_PASSWORD_ZIPCRYPTO);
            setText(password, IDC_PASSWORD_EDIT, "s3cret");
            press(password, IDOK);
        }});
    EXPECT_TRUE(aesPreselected);
    std::vector<CString> files{file};
    window.main().archive().addNewFiles(files, 0, false, true);
    window.open(archive);
    EXPECT_EQ(window.column(kColumnAttributes), (Names{"A AES-256"}));
    window.main().archive().close();
    const std::string tested = runOnHost("7z t -ps3cret '" + hostPath(archive) + "'");
    EXPECT_NE(tested.find("Everything is Ok"), std::string::npos) << tested;

    bool zipCryptoPreselected = false;
    run(ID_ACTIONS_PASSWORD, {[](HWND password) {
            chooseEncryption(password, IDC_PASSWORD_ZIPCRYPTO);
            press(password, IDOK);
        }});
    run(ID_ACTIONS_PASSWORD, {[&](HWND password) {
            zipCryptoPreselected = isChecked(password, IDC_PASSWORD_ZIPCRYPTO);
            press(password, IDCANCEL);
        }});
    EXPECT_TRUE(zipCryptoPreselected);
    EXPECT_EQ(window.main().getEncryption(), Encryption::ZipCrypto);
}

TEST_F(Commands, DeleteSelectedRemovesOnlyFromAWritableArchive)
{
    const std::string archive = makeArchive("delete.zip", {testing_support::deflated("a.txt", "aaaa"),
                                                           testing_support::deflated("b.txt", "bbbb"),
                                                           testing_support::deflated("c.txt", "cccc")});
    HANDLE reader = ::CreateFileA(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    window.open(archive);
    window.selectRow("b.txt");
    ::SendMessageA(window.list(), WM_COMMAND, ID_ACTIONS_DELETE, 0);
    EXPECT_EQ(window.column(0).size(), 3u);
    window.main().archive().close();
    ::CloseHandle(reader);
    EXPECT_EQ(closedNames(archive).size(), 3u);

    window.open(archive);
    window.selectRow("a.txt");
    window.selectRow("c.txt");
    ::SendMessageA(window.list(), WM_COMMAND, ID_ACTIONS_DELETE, 0);
    EXPECT_EQ(window.column(0), Names{"b.txt"});
    EXPECT_EQ(closedNames(archive), Names{"b.txt"});
    EXPECT_NE(runOnHost("7z t '" + hostPath(archive) + "'").find("Everything is Ok"), std::string::npos);
}

TEST_F(Commands, ConvertToExeWritesTheRunFileOfTheChosenLine)
{
    const std::string archive = makeArchive("program.zip", {testing_support::deflated("docs/readme.txt", "read me"),
                                                            testing_support::deflated("setup.bat", "@echo off")});
    struct Case {
        std::string target;
        int line;
        std::string runFile;
    };
    for (const Case& test : {Case{"none", 0, ""}, Case{"root", 2, "\\setup.bat"}}) {
        window.open(archive);
        Names lines;
        run(ID_FILE_CONVERT, {[&](HWND dialog) {
                lines = comboLines(dialog, IDC_RUN_FILE);
                setText(dialog, IDC_INSTALL_DIR, "$$PROGRAMFILES$$\\Tool");
                selectComboLine(dialog, IDC_RUN_FILE, test.line);
                chooseFile(dialog, folder + test.target);
            }});
        EXPECT_EQ(lines, (Names{"None", "readme.txt", "setup.bat"}));
        const std::string exe = folder + test.target + ".exe";
        EXPECT_EQ(window.title(), "Packrook   " + exe);
        CString installDir;
        CString runFile;
        ASSERT_TRUE(window.main().archive().getExeParams(installDir, runFile));
        EXPECT_EQ(installDir, "$$PROGRAMFILES$$\\Tool");
        EXPECT_EQ(runFile, test.runFile);
        window.main().archive().close();
        const std::string tested = peerTest(exe);
        EXPECT_NE(tested.find(kPeerOk), std::string::npos) << tested;
    }
}

TEST_F(Commands, EditExeSelectsTheRunFileByItsName)
{
    const std::string archive = makeArchive("details.zip", {testing_support::deflated("bin/", ""),
                                                            testing_support::deflated("bin/Tool.exe", "tool"),
                                                            testing_support::deflated("notes.txt", "notes")});
    window.open(archive);
    run(ID_FILE_CONVERT, {[&](HWND dialog) {
            setText(dialog, IDC_INSTALL_DIR, "C:\\First");
            selectComboLine(dialog, IDC_RUN_FILE, 2);
            chooseFile(dialog, folder + "details.exe");
        }});
    int selected = -1;
    std::string installDir;
    run(ID_ACTIONS_EDITEXE, {[&](HWND dialog) {
            selected = comboSelection(dialog, IDC_RUN_FILE);
            installDir = textOf(dialog, IDC_INSTALL_DIR);
            setText(dialog, IDC_INSTALL_DIR, "C:\\Second");
            selectComboLine(dialog, IDC_RUN_FILE, 3);
            press(dialog, IDOK);
        }});
    EXPECT_EQ(selected, 2) << "the folder entry's empty line comes first";
    EXPECT_EQ(installDir, "C:\\First");
    CString dir;
    CString runFile;
    ASSERT_TRUE(window.main().archive().getExeParams(dir, runFile));
    EXPECT_EQ(dir, "C:\\Second");
    EXPECT_EQ(runFile, "\\notes.txt");
}
} // namespace
