// The self-extractor stub at work: real self-extracting programs made by the
// engine from the stub beside this test, run under their own process, with
// their message boxes and password dialog answered by DialogDriver.
#include "../engine/TestSupport.h"
#include "DialogDriver.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

using namespace testing_support;
using namespace stub_testing;

namespace {
const char kMarkerProgram[] = "stub_marker.exe";
const char kRefusedWarning[] = "Packrook: These entries were not extracted: ";
const char kNotStarted[] = "Packrook: The file to run was not started, as this program did not install it: ";

std::string allByteValues()
{
    std::string bytes;
    for (int round = 0; round < 3000; ++round)
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>((value * 7 + round) & 0xFF);
    return bytes;
}

// The bytes with `with` written over them where `found` first begins.
std::string overwritten(std::string bytes, const std::string& found, const std::string& with)
{
    const size_t at = bytes.find(found);
    if (at != std::string::npos)
        bytes.replace(at, with.size(), with);
    return bytes;
}

void createDirectories(const std::string& path)
{
    ::SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
}

bool exists(const std::string& path)
{
    return os::fileAttributes(path) != os::kNoAttributes;
}

bool appears(const std::string& path)
{
    for (int wait = 0; wait < 200 && !exists(path); ++wait)
        ::Sleep(50);
    return exists(path);
}

std::string confirmation(const std::string& installDir)
{
    return "The files will now install to " + installDir + "\r\n\r\nAre you sure you want to continue";
}

std::vector<std::string> textsOf(const StubRun& run)
{
    std::vector<std::string> texts;
    for (const SeenWindow& window : run.windows)
        texts.push_back(window.title + ": " + window.text);
    return texts;
}

class StubInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            GTEST_SKIP() << "the stub's windows need a display: run under scripts/with-xvfb.sh";
        folder = scratchFolder();
        exe = folder + "setup.exe";
        installDir = folder + "install" + kSeparator + "sub";
    }

    // Makes setup.exe from an archive whose bytes are given.
    void makeProgram(const std::string& archiveBytes, const std::string& install, const std::string& runFile)
    {
        const std::string archivePath = folder + "source.zip";
        writeBytes(archivePath, archiveBytes);
        makeProgramFrom(archivePath, install, runFile);
    }

    // Files of these names and contents, encrypted with the password.
    void makeEncryptedProgram(const std::vector<std::pair<std::string, std::string>>& files,
                              const std::string& password, Encryption encryption = Encryption::ZipCrypto)
    {
        ScriptedCallBack callback;
        callback.passwordForAdding = password;
        callback.encryptionForAdding = encryption;
        {
            CZipFile archive(&callback);
            ASSERT_TRUE(archive.createNewZip(folder + "locked.zip"));
            std::vector<CString> paths;
            for (const auto& [name, content] : files) {
                writeBytes(folder + name, content);
                paths.push_back(folder + name);
            }
            ASSERT_TRUE(archive.addNewFiles(paths, 0, false, true));
            ASSERT_TRUE(archive.getFileHeader(0)->IsEncrypted());
        }
        makeProgramFrom(folder + "locked.zip", installDir, "");
    }

    void makeProgramFrom(const std::string& archivePath, const std::string& install, const std::string& runFile)
    {
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(archivePath));
        ASSERT_TRUE(archive.convertToExe(exe, install, runFile));
    }

    StubRun run(Answers answers = Answers(), const std::string& currentDirectory = std::string())
    {
        return runAndAnswer(exe, currentDirectory.empty() ? folder : currentDirectory, std::move(answers));
    }

    std::string installed(const std::string& relative) const
    {
        return readBytes(installDir + kSeparator + relative);
    }

    std::string folder;
    std::string exe;
    std::string installDir;
};
}

TEST_F(StubInstall, EveryEntryLandsByteForByteAndTheRunFileIsStarted)
{
    const std::string marker = readBytes(os::programFolder() + kMarkerProgram);
    ASSERT_FALSE(marker.empty());
    const std::string binary = allByteValues();
    makeProgram(buildZip({{"readme.txt", "Read me first\r\n"},
                          {"docs/", ""},
                          deflated("docs/deep/data.bin", binary),
                          {"docs/empty.txt", ""},
                          {"tools/marker.exe", marker}}),
                installDir, "tools\\marker.exe");

    const StubRun result = run();
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(textsOf(result), std::vector<std::string>{"Packrook: " + confirmation(installDir)});
    EXPECT_EQ(installed("readme.txt"), "Read me first\r\n");
    EXPECT_EQ(installed("docs\\deep\\data.bin"), binary);
    EXPECT_TRUE(exists(installDir + "\\docs\\empty.txt"));
    EXPECT_EQ(installed("docs\\empty.txt"), "");
    EXPECT_EQ(installed("tools\\marker.exe"), marker);
    EXPECT_TRUE(appears(installDir + "\\tools\\marker-ran.txt")) << "the run file was not started";
    // buildZip stamps every entry 2024-05-17 13:45:44.
    std::time_t seconds = 0;
    std::tm stamp = {};
    ASSERT_TRUE(os::fileModificationTime(installDir + "\\readme.txt", seconds) && os::toLocalTime(seconds, stamp));
    EXPECT_EQ(std::vector<int>({stamp.tm_year + 1900, stamp.tm_mon + 1, stamp.tm_mday, stamp.tm_hour, stamp.tm_min,
                                stamp.tm_sec}),
              std::vector<int>({2024, 5, 17, 13, 45, 44}));
}

// Folder and file names in every language, below a folder whose paths pass
// the 260 characters of old.
TEST_F(StubInstall, NamesOfEveryLanguageInstallIntoALongFolder)
{
    const std::string target = folder + "安装 Ωμέγα 🎵\\" + std::string(120, 'l') + "\\" + std::string(100, 'm');
    makeProgramFrom(testdata(kLanguagesSample), target, "");
    const StubRun result = run();
    EXPECT_EQ(textsOf(result), std::vector<std::string>{"Packrook: " + confirmation(target)});
    for (const std::string& name : languageNames())
        EXPECT_EQ(readBytes(target + "\\" + localName(name)), name);
}

// A program made where the code page was 1252 installs into the folder its
// maker named, on a system where the stub speaks UTF-8.
TEST_F(StubInstall, AnInstallFolderSpeltInTheLegacyCodePageKeepsItsName)
{
    makeProgram(buildZip({{"x.txt", "x"}}), folder + "caf\xE9", "");
    const StubRun result = run();
    EXPECT_EQ(textsOf(result), std::vector<std::string>{"Packrook: " + confirmation(folder + "café")});
    EXPECT_EQ(readBytes(folder + "café\\x.txt"), "x");
}

TEST_F(StubInstall, NoInstallsNothingAndStartsNothing)
{
    makeProgram(buildZip({{"readme.txt", "text"}, {"tools/marker.exe", readBytes(os::programFolder() + kMarkerProgram)}}),
                installDir, "tools\\marker.exe");
    Answers no;
    no.confirm = false;
    const StubRun result = run(no);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.windows.size(), 1u);
    EXPECT_FALSE(exists(folder + "install"));
}

TEST_F(StubInstall, EncryptedEntriesAskOnceThroughThePasswordDialog)
{
    for (const Encryption encryption : {Encryption::ZipCrypto, Encryption::Aes256}) {
        makeEncryptedProgram({{"first.txt", "first secret"}, {"second.bin", allByteValues()}}, "Open Sesame",
                             encryption);
        removeFolder(folder + "install");

        Answers answers;
        answers.passwords = {"Open Sesame"};
        const StubRun result = run(answers);
        EXPECT_EQ(result.passwordDialogs, 1);
        EXPECT_EQ(result.windows.size(), 2u) << ::testing::PrintToString(textsOf(result));
        EXPECT_EQ(installed("first.txt"), "first secret");
        EXPECT_EQ(installed("second.bin"), allByteValues());
    }
}

TEST_F(StubInstall, AWrongOrMissingPasswordSkipsTheEntriesWithAWarning)
{
    makeEncryptedProgram({{"a.txt", "alpha"}, {"b.txt", "beta"}}, "right");

    Answers wrong;
    wrong.passwords = {"wrong"};
    const StubRun wrongRun = run(wrong);
    EXPECT_EQ(wrongRun.passwordDialogs, 1) << "the wrong password stays the archive's password";
    EXPECT_EQ(textsOf(wrongRun), (std::vector<std::string>{"Packrook: " + confirmation(installDir),
                                                           "Enter Password: Password",
                                                           "Packrook: Encryption problem a.txt",
                                                           "Packrook: Encryption problem b.txt"}));

    const StubRun cancelled = run();
    EXPECT_EQ(cancelled.passwordDialogs, 2) << "a cancelled prompt comes back for the next entry";
    EXPECT_EQ(textsOf(cancelled).back(), "Packrook: Password not set for file");
    EXPECT_FALSE(exists(installDir + "\\a.txt"));
    EXPECT_FALSE(exists(installDir + "\\b.txt"));
}

TEST_F(StubInstall, NamesLeadingOutsideAreRefusedAndTheRestInstalls)
{
    const std::vector<std::string> hostile = {"../escaped.txt", "/rooted.txt", "\\backslashed.txt",
                                              "C:/driven.txt", "docs/../../climbed.txt", "first.txt:stream",
                                              "docs/nul.txt"};
    std::vector<RawEntry> entries{{"first.txt", "1"}};
    for (const std::string& name : hostile)
        entries.emplace_back(name, "evil");
    entries.emplace_back("docs/last.txt", "2");
    makeProgram(buildZip(entries), installDir, "");

    const StubRun result = run();
    const std::vector<std::string> texts = textsOf(result);
    ASSERT_EQ(texts.size(), 2u) << "one warning at the end: " << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0], "Packrook: " + confirmation(installDir));
    EXPECT_EQ(texts[1].rfind(kRefusedWarning, 0), 0u) << texts[1];
    for (const std::string& name : hostile)
        EXPECT_NE(texts[1].find("\r\n" + name), std::string::npos) << name;
    EXPECT_EQ(installed("first.txt"), "1");
    EXPECT_EQ(installed("docs\\last.txt"), "2");
    for (const char* outside : {"install\\escaped.txt", "climbed.txt", "install\\climbed.txt"})
        EXPECT_FALSE(exists(folder + outside)) << outside;
    for (const char* outside : {"Z:\\rooted.txt", "Z:\\backslashed.txt", "C:\\driven.txt"})
        EXPECT_FALSE(exists(outside)) << outside;
}

// The file an entry was to replace stays as it was; none is left where there was none.
TEST_F(StubInstall, AnEntryWithBadDataLeavesTheFilesAsTheyWereAndTheRestInstalls)
{
    RawEntry damaged("damaged.txt", "these bytes do not match the stored check value");
    damaged.crcOfData = false;
    damaged.crc = 0x12345678;
    RawEntry alsoDamaged = damaged;
    alsoDamaged.name = "new.txt";
    makeProgram(buildZip({damaged, alsoDamaged, {"good.txt", "good"}}), installDir, "");
    createDirectories(installDir);
    writeBytes(installDir + "\\damaged.txt", "installed before");

    const StubRun result = run();
    EXPECT_EQ(textsOf(result), (std::vector<std::string>{"Packrook: " + confirmation(installDir),
                                                         "Packrook: Corrupt zip file found when exstacting damaged.txt",
                                                         "Packrook: Corrupt zip file found when exstacting new.txt"}));
    EXPECT_EQ(installed("damaged.txt"), "installed before");
    EXPECT_FALSE(exists(installDir + "\\new.txt"));
    EXPECT_EQ(installed("good.txt"), "good");
}

// An older file of the run file's name, whose entry failed now, and a file
// outside the install directory named by a program made elsewhere, are
// never started: the user is told instead.
TEST_F(StubInstall, TheRunFileStartsOnlyWhenItsOwnEntryInstalled)
{
    const std::string marker = readBytes(os::programFolder() + kMarkerProgram);
    RawEntry damaged("tools/marker.exe", marker);
    damaged.crcOfData = false;
    damaged.crc = 0x12345678;
    makeProgram(buildZip({{"x.txt", "x"}, damaged}), installDir, "tools\\marker.exe");
    createDirectories(installDir + "\\tools");
    writeBytes(installDir + "\\tools\\marker.exe", marker);
    EXPECT_EQ(textsOf(run()), (std::vector<std::string>{"Packrook: " + confirmation(installDir),
                                                         "Packrook: Corrupt zip file found when exstacting marker.exe",
                                                         kNotStarted + std::string("tools\\marker.exe")}));

    makeProgram(buildZip({{"marker.exe", marker}}), installDir, "marker.exe");
    writeBytes(exe, overwritten(readBytes(exe), std::string("marker.exe\0aaaaaa", 17),
                                std::string("..\\marker.exe\0", 14)));
    writeBytes(folder + "install\\marker.exe", marker);
    EXPECT_EQ(textsOf(run()), (std::vector<std::string>{"Packrook: " + confirmation(installDir),
                                                         kNotStarted + std::string("..\\marker.exe")}));
    EXPECT_EQ(installed("marker.exe"), marker);
    EXPECT_FALSE(exists(installDir + "\\tools\\marker-ran.txt"));
    EXPECT_FALSE(exists(folder + "install\\marker-ran.txt"));

    // The manager spells a file at the top with a leading backslash.
    makeProgram(buildZip({{"marker.exe", marker}}), installDir, "\\marker.exe");
    EXPECT_EQ(textsOf(run()), std::vector<std::string>{"Packrook: " + confirmation(installDir)});
    EXPECT_TRUE(appears(installDir + "\\marker-ran.txt")) << "the run file was not started";
}

TEST_F(StubInstall, AnEmptyInstallDirectoryIsTheCurrentOne)
{
    makeProgram(buildZip({{"here.txt", "here"}}), "", "");
    const std::string current = folder + "current";
    ::CreateDirectoryA(current.c_str(), nullptr);
    const StubRun result = run(Answers(), current);
    EXPECT_EQ(textsOf(result), std::vector<std::string>{"Packrook: " + confirmation(current)});
    EXPECT_EQ(readBytes(current + "\\here.txt"), "here");
}

TEST_F(StubInstall, TheProgramFilesPlaceholderDropsWhatComesBeforeIt)
{
    char programFiles[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathA(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    makeProgram(buildZip({{"x.txt", "x"}}), "X$$PROGRAMFILES$$\\Tools", "");
    Answers no;
    no.confirm = false;
    const StubRun result = run(no);
    EXPECT_EQ(textsOf(result),
              std::vector<std::string>{"Packrook: " + confirmation(std::string(programFiles) + "\\Tools")});
}

TEST_F(StubInstall, AnInstallDirectoryThatCannotBeMadeIsReported)
{
    writeBytes(folder + "blocker", "a file where a folder should go");
    const std::string blocked = folder + "blocker\\sub";
    // A file's name with a backslash behind it names no folder: the walk stops there.
    makeProgram(buildZip({{"x.txt", "x"}, {"tools/marker.exe", readBytes(os::programFolder() + kMarkerProgram)}}),
                blocked, "tools\\marker.exe");
    const StubRun result = run();
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(textsOf(result), (std::vector<std::string>{"Packrook: " + confirmation(blocked),
                                                         "Packrook: Failed to create directory " + folder + "blocker\\"}));
    EXPECT_FALSE(exists(blocked));
}
