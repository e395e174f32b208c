// Self-extracting programs: the stub in front, the archive behind it, and
// the two parameter slots that conversion and rewrites fill in.
#include "TestSupport.h"
#include "ZipExeSlots.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace testing_support;
using exeslots::kSlotSize;

namespace {
const char kSample[] = "infozip_recursive.zip";

std::string stubPath()
{
    return os::programFolder() + exeslots::kStubName;
}

std::string initialSlot(const char* marker)
{
    return std::string(marker) + std::string(kSlotSize - exeslots::kMarkerLength - 1, 'a') + '\0';
}

size_t installSlotInStub()
{
    return readBytes(stubPath()).find(initialSlot(exeslots::kInstallDirMarker));
}

// What a slot holds after a conversion or a rewrite.
std::string filledSlot(const std::string& value)
{
    return value + '\0' + std::string(kSlotSize - 2 - value.size(), 'a') + '\0';
}

std::vector<std::string> contents(CZipFile& archive)
{
    std::vector<std::string> all;
    for (int i = 0; i < archive.getFileCount(); ++i)
        all.push_back(readEntry(archive, i));
    return all;
}

void expectSameEntries(CZipFile& program, CZipFile& source)
{
    EXPECT_EQ(listing(program), listing(source));
    EXPECT_EQ(contents(program), contents(source));
}

void expectParams(const std::string& exe, const std::string& installDir, const std::string& runFile)
{
    ScriptedCallBack callback;
    CZipFile program(&callback);
    ASSERT_TRUE(program.openZipFile(exe));
    CString readInstallDir = "unset", readRunFile = "unset";
    ASSERT_TRUE(program.getExeParams(readInstallDir, readRunFile));
    EXPECT_EQ(readInstallDir, installDir);
    EXPECT_EQ(readRunFile, runFile);
}

bool exists(const std::string& path)
{
    return os::fileAttributes(path) != os::kNoAttributes;
}

class ExeConversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = copyToScratch(kSample);
        exe = scratchFolder() + "setup.exe";
        ASSERT_TRUE(original.openZipFile(testdata(kSample)));
    }

    void convert(const std::string& installDir, const std::string& runFile)
    {
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(source));
        ASSERT_TRUE(archive.convertToExe(exe, installDir, runFile));
        EXPECT_EQ(archive.getPath(), exe) << "the program is left open as the archive";
        EXPECT_EQ(archive.getExeOffset(), 0u);
        expectSameEntries(archive, original);
    }

    ScriptedCallBack callback;
    CZipFile original{&callback};
    std::string source;
    std::string exe;
};
}

TEST(ExeStub, CarriesBothSlotsBackToBackInFrontOfAnyFill)
{
    const std::string stub = readBytes(stubPath());
    ASSERT_FALSE(stub.empty()) << stubPath();
    EXPECT_LT(stub.size(), 1000000u);
    const size_t install = stub.find(initialSlot(exeslots::kInstallDirMarker));
    ASSERT_NE(install, std::string::npos);
    ASSERT_GT(install, 0u);
    EXPECT_EQ(stub[install - 1], '\0');
    EXPECT_EQ(stub.find(initialSlot(exeslots::kRunFileMarker)), install + kSlotSize);
    EXPECT_EQ(stub.find(initialSlot(exeslots::kInstallDirMarker), install + 1), std::string::npos);
    EXPECT_EQ(stub.find("aaaaaa"), install + exeslots::kMarkerLength) << "the slot search would stop early";
}

TEST_F(ExeConversion, ProgramIsTheStubFollowedByTheArchiveAtItsNewOffsets)
{
    convert("C:\\Tools", "bin\\run.exe");
    const std::string stub = readBytes(stubPath());
    const std::string archive = readBytes(source);
    const std::string program = readBytes(exe);
    ASSERT_EQ(program.size(), stub.size() + archive.size());

    const size_t slots = installSlotInStub();
    EXPECT_EQ(program.substr(0, slots), stub.substr(0, slots));
    EXPECT_EQ(program.substr(slots, kSlotSize), filledSlot("C:\\Tools"));
    EXPECT_EQ(program.substr(slots + kSlotSize, kSlotSize), filledSlot("bin\\run.exe"));
    EXPECT_EQ(program.substr(slots + 2 * kSlotSize, stub.size() - slots - 2 * kSlotSize),
              stub.substr(slots + 2 * kSlotSize));

    const size_t directory = ZipFileTestAccess::centralDir(original).endRecord().offset;
    EXPECT_EQ(program.substr(stub.size(), directory), archive.substr(0, directory)) << "entry data copied as is";

    CZipFile reopened(&callback);
    ASSERT_TRUE(reopened.openZipFile(exe));
    EXPECT_EQ(ZipFileTestAccess::centralDir(reopened).endRecord().offset, stub.size() + directory);
    EXPECT_EQ(reopened.getFileHeader(0)->localHeaderOffset, stub.size());
    expectSameEntries(reopened, original);
    reopened.close();
    expectParams(exe, "C:\\Tools", "bin\\run.exe");
}

TEST_F(ExeConversion, EmptyValuesLeaveEachSlotStartingWithItsZeroByte)
{
    convert("", "");
    const std::string program = readBytes(exe);
    const size_t slots = installSlotInStub();
    EXPECT_EQ(program.substr(slots, kSlotSize), filledSlot(""));
    EXPECT_EQ(program.substr(slots + kSlotSize, kSlotSize), filledSlot(""));
    expectParams(exe, "", "");
}

TEST_F(ExeConversion, RewritesReadBackWhateverTheOrderOfLengths)
{
    convert("$$PROGRAMFILES$$\\Packrook", "readme.txt");
    const size_t size = readBytes(exe).size();
    const size_t slots = installSlotInStub();
    const std::pair<std::string, std::string> rewrites[] = {
        {std::string(exeslots::kLongestValue, 'd'), std::string(400, 'r')},
        {"C:\\x", ""},
        {std::string(300, 'e'), std::string(exeslots::kLongestValue, 'f')},
        {"", "tools\\go.exe"},
        {"C:\\Tools", "\\setup.bat"}, // the manager's spelling of a file at the top
        {std::string(181, 'g'), "a"},
    };
    for (const auto& [installDir, runFile] : rewrites) {
        {
            CZipFile program(&callback);
            ASSERT_TRUE(program.openZipFile(exe));
            program.setExeParams(installDir, runFile);
        }
        const std::string bytes = readBytes(exe);
        EXPECT_EQ(bytes.size(), size);
        EXPECT_EQ(bytes.substr(slots, kSlotSize), filledSlot(installDir)) << installDir.size();
        EXPECT_EQ(bytes.substr(slots + kSlotSize, kSlotSize), filledSlot(runFile)) << runFile.size();
        expectParams(exe, installDir, runFile);
    }
    CZipFile program(&callback);
    ASSERT_TRUE(program.openZipFile(exe));
    expectSameEntries(program, original);
}

TEST_F(ExeConversion, AddingAndRemovingKeepTheStubInFront)
{
    convert("C:\\Keep", "kept.exe");
    const std::string extra = scratchFolder() + "extra.txt";
    writeBytes(extra, std::string(5000, 'x') + "end");
    {
        CZipFile program(&callback);
        ASSERT_TRUE(program.openZipFile(exe));
        std::vector<CString> files{extra};
        ASSERT_TRUE(program.addNewFiles(files, 0, false, true));
        std::vector<int32_t> first{0};
        program.removeSomeFiles(first);
    }
    CZipFile program(&callback);
    ASSERT_TRUE(program.openZipFile(exe));
    ASSERT_EQ(program.getFileCount(), original.getFileCount());
    EXPECT_EQ(readEntry(program, indexOf(program, "extra.txt")), std::string(5000, 'x') + "end");
    EXPECT_EQ(readEntry(program, 0), readEntry(original, 1));
    program.close();
    expectParams(exe, "C:\\Keep", "kept.exe");
}

TEST(ExeParams, AnOrdinaryArchiveHasNone)
{
    const std::string path = copyToScratch(kSample);
    const std::string before = readBytes(path);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    CString installDir = "unset", runFile = "unset";
    EXPECT_FALSE(archive.getExeParams(installDir, runFile));
    archive.setExeParams("C:\\nowhere", "x.exe");
    archive.close();
    EXPECT_EQ(readBytes(path), before);
}

// Six "a" in a row: a stray run in another program's data must not be taken
// for the fill of a slot and written over; nor must two slots that an entry
// of a plain archive happens to hold.
TEST(ExeParams, FillRunsThatAreNotTwoSlotsInFrontOfTheArchiveAreLeftAlone)
{
    const std::string fake = std::string("value\0", 6) + std::string(40, 'a') + std::string("\0run\0", 5)
                             + std::string(50, 'a') + '\0';
    const std::string inEntry = '\0' + filledSlot("C:\\in") + filledSlot("run.exe");
    for (const std::string& content : {fake, inEntry}) {
        const std::string path = scratchFolder() + "fake.zip";
        writeBytes(path, buildZip({{"fake.bin", content}}));
        const std::string before = readBytes(path);
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(path));
        CString installDir, runFile;
        EXPECT_FALSE(archive.getExeParams(installDir, runFile));
        archive.setExeParams("C:\\x", "y");
        archive.close();
        EXPECT_EQ(readBytes(path), before);
    }
}

// A file to run that would lie outside the install directory is refused
// like an entry's name that would.
TEST_F(ExeConversion, ValuesTheSlotCannotHoldAreRefusedBeforeAnythingIsWritten)
{
    const std::string tooLong(exeslots::kLongestValue + 1, 'd');
    const std::pair<std::string, std::string> refused[] = {
        {tooLong, ""}, {"", tooLong}, {"C:\\aaaaaa", ""}, {"", "baaaaaab.exe"}, {"C:\\in", "..\\..\\x.exe"},
        {"C:\\in", "C:\\x.exe"}, {"C:\\in", "\\\\x.exe"}, {"C:\\in", "bin\\..\\..\\x.exe"}};
    for (const auto& [installDir, runFile] : refused) {
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(source));
        try {
            archive.convertToExe(exe, installDir, runFile);
            ADD_FAILURE() << "converted " << installDir << " / " << runFile;
        } catch (const CZipException& error) {
            EXPECT_NE(error.getMessage().find("self-extracting program"), std::string::npos) << error.getMessage();
        }
        EXPECT_FALSE(exists(exe));
        EXPECT_TRUE(archive.is_open());
    }

    convert("C:\\Tools", "run.exe");
    const std::string before = readBytes(exe);
    CZipFile program(&callback);
    ASSERT_TRUE(program.openZipFile(exe));
    EXPECT_THROW(program.setExeParams(tooLong, "run.exe"), CZipException);
    EXPECT_THROW(program.setExeParams("C:\\Tools", "aaaaaaa"), CZipException);
    EXPECT_THROW(program.setExeParams("C:\\Tools", "..\\run.exe"), CZipException);
    program.close();
    EXPECT_EQ(readBytes(exe), before);
}

TEST_F(ExeConversion, FailuresLeaveNoProgramBehind)
{
    const std::string folder = scratchFolder();
    writeBytes(folder + "noslots.dll", "MZ" + std::string(5000, '\x90'));
    writeBytes(folder + "huge.dll", std::string(1000000, '\0') + initialSlot(exeslots::kInstallDirMarker)
                                        + initialSlot(exeslots::kRunFileMarker));
    const struct {
        std::string stub;
        std::string target;
        std::string message;
    } failures[] = {
        {folder + "missing.dll", exe, "Couldn't open self-extractor stub " + folder + "missing.dll"},
        {folder + "noslots.dll", exe, "Self-extractor stub has no parameter slots " + folder + "noslots.dll"},
        {folder + "huge.dll", exe, "Self-extractor stub is too large " + folder + "huge.dll"},
        {stubPath(), folder + "no-such-folder" + kSeparator + "setup.exe",
         "Couldn't create self-extracting program " + folder + "no-such-folder" + kSeparator + "setup.exe"},
        {stubPath(), source, "A self-extracting program cannot replace its own archive " + source},
    };
    const std::string archiveBytes = readBytes(source);
    for (const auto& failure : failures) {
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(source));
        try {
            ZipFileTestAccess::writeExe(archive, failure.stub, failure.target, "C:\\x", "y");
            ADD_FAILURE() << "converted with " << failure.stub;
        } catch (const CZipException& error) {
            EXPECT_EQ(error.getMessage().substr(0, failure.message.size()), failure.message);
        }
        EXPECT_FALSE(exists(exe));
        EXPECT_FALSE(exists(folder + "no-such-folder"));
        expectSameEntries(archive, original);
    }
    EXPECT_EQ(readBytes(source), archiveBytes);
}

TEST_F(ExeConversion, AnExistingLongerTargetIsReplacedWhole)
{
    writeBytes(exe, std::string(3000000, 'q') + buildZip({{"stale.txt", "old"}}));
    convert("C:\\x", "");
    EXPECT_EQ(readBytes(exe).size(), readBytes(stubPath()).size() + readBytes(source).size());
    CZipFile program(&callback);
    ASSERT_TRUE(program.openZipFile(exe));
    expectSameEntries(program, original);
}

#ifndef _WIN32
// The length comes from the file at the archive's path, the bytes from the
// open handle; when the two disagree the copy must end with an error rather
// than spin or write a truncated program.
TEST_F(ExeConversion, AnArchiveThatEndsEarlyStopsTheCopy)
{
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(source));
    const std::string bigger = scratchFolder() + "bigger.zip";
    writeBytes(bigger, readBytes(source) + std::string(3000000, 'z'));
    ASSERT_EQ(std::rename(bigger.c_str(), source.c_str()), 0);
    try {
        archive.convertToExe(exe, "C:\\x", "");
        ADD_FAILURE() << "converted";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.getMessage().rfind("Archive ended before it was copied " + source, 0), 0u)
            << error.getMessage();
    }
    EXPECT_FALSE(exists(exe));
}
#endif
