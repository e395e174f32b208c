#include "Application.h"
#include "DialogScript.h"
#include "ManagerTestSupport.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace manager_testing;

namespace {
class StartUp : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override
    {
        destroyLeftWindows();
        resetSettings();
    }

    std::string makeFile(const std::string& name, const std::string& content)
    {
        const std::string path = folder + name;
        testing_support::writeBytes(path, content);
        return path;
    }

    static BOOL CALLBACK destroyMainWindow(HWND window, LPARAM)
    {
        if (windowText(window).rfind("Packrook", 0) == 0)
            ::DestroyWindow(window);
        return TRUE;
    }

    // Hidden mode leaves its window for the end of the process.
    static void destroyLeftWindows()
    {
        ::EnumThreadWindows(::GetCurrentThreadId(), destroyMainWindow, 0);
        pumpFor(0);
    }

    const std::string folder = testing_support::scratchFolder();
};

TEST_F(StartUp, HiddenModeAddsBothFilesWithoutShowingAWindow)
{
    const std::string one = makeFile("one.txt", "first file");
    const std::string two = makeFile("two words.txt", "second file");
    const std::string archive = folder + "made by hidden.zip";
    ShowRecorder recorder;
    const int code = runManager(::GetModuleHandleA(nullptr),
                                "-h \"" + archive + "\" -a\"" + one + "\" \"" + two + "\" ");
    EXPECT_EQ(code, 0);
    const auto shown = recorder.shownClasses();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), MainWindow::kClassName), 0);
    const auto names = storedNames(archive);
    ASSERT_EQ(names.size(), 2u);
    // Folder names are kept unless the user switched that off.
    EXPECT_EQ(names[0], os::dropDrivePart(one));
    EXPECT_EQ(names[1], os::dropDrivePart(two));
}

TEST_F(StartUp, HiddenModeAddsBareNamesWhenPathsAreOff)
{
    settings::writeSettingInt(settings::kPrefs, "AddToUseIncPath", 0);
    const std::string one = makeFile("bare.txt", "bare");
    const std::string archive = folder + "bare.zip";
    EXPECT_EQ(runManager(::GetModuleHandleA(nullptr), "-h \"" + archive + "\" -a\"" + one + "\""), 0);
    EXPECT_EQ(storedNames(archive), std::vector<std::string>{"bare.txt"});
}

// A folder is walked in the long form of its paths: a file past 260
// characters is added, not left out.
TEST_F(StartUp, HiddenModeAddsAFolderWhoseFileLiesPastMaxPath)
{
    settings::writeSettingInt(settings::kPrefs, "AddToUseIncPath", 0);
    std::string deep = folder + "tree";
    ASSERT_TRUE(os::createFolder(deep));
    while (deep.size() < MAX_PATH + 20)
        ASSERT_TRUE(os::createFolder(deep += "\\" + std::string(40, 'd')));
    const os::FileHandle file = os::openFile(deep + "\\deep.txt", os::OpenMode::CreateForWriting);
    uint32_t written = 0;
    ASSERT_TRUE(os::writeFile(file, "deep", 4, written));
    os::closeFile(file);
    const std::string archive = folder + "deep.zip";
    EXPECT_EQ(runManager(::GetModuleHandleA(nullptr), "-h \"" + archive + "\" -a\"" + folder + "tree\""), 0);
    EXPECT_EQ(storedNames(archive), std::vector<std::string>{"deep.txt"});
}

TEST_F(StartUp, FilesWithoutAnArchiveAskForANewOne)
{
    const std::string one = makeFile("asked.txt", "asked");
    const std::string archive = dotlessScratchFolder() + "asked";
    DialogScript script(::GetCurrentThreadId(), {choosing(archive)});
    EXPECT_EQ(runManager(::GetModuleHandleA(nullptr), "-h -a\"" + one + "\""), 0);
    EXPECT_EQ(script.titles(), std::vector<std::string>{"New Zip File"});
    EXPECT_EQ(storedNames(archive + ".zip"), std::vector<std::string>{os::dropDrivePart(one)});
}

TEST_F(StartUp, ProgramOpensAQuotedPathWithBlanks)
{
    const std::string archive = folder + "with blanks.zip";
    testing_support::writeBytes(archive, testing_support::buildZip({testing_support::RawEntry("x.txt", "x")}));
    std::string title;
    const ProcessResult result = runPackrook("\"" + archive + "\"", [&](HWND window) {
        // The title is set once the archive has been read.
        const DWORD start = ::GetTickCount();
        while (windowText(window) == "Packrook" && ::GetTickCount() - start < 20000)
            ::Sleep(20);
        title = windowText(window);
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(title, "Packrook   " + archive);
    std::string left;
    EXPECT_TRUE(readUserValue("MainWndL", left)) << "closing saves the placement";
}

TEST_F(StartUp, ProgramInHiddenModeEndsOnItsOwn)
{
    const std::string one = makeFile("p1.txt", "one");
    const std::string two = makeFile("p2.txt", "two");
    const std::string archive = folder + "hidden.zip";
    const ProcessResult result = runPackrook("-h \"" + archive + "\" -a\"" + one + "\" \"" + two + "\" ");
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_FALSE(result.windowShown);
    EXPECT_EQ(storedNames(archive).size(), 2u);
}
} // namespace
