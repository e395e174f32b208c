#include "ManagerTestSupport.h"
#include "Settings.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace manager_testing;

namespace {
constexpr int kFirstRecentPosition = 7;

class Settings : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override { resetSettings(); }
};

std::vector<std::string> storedRecentFiles()
{
    std::vector<std::string> files;
    for (int slot = 0; slot < settings::kRecentCount; ++slot)
        files.push_back(settings::readSettingString(settings::kPrefs, settings::recentFileKey(slot), ""));
    return files;
}

// The File menu items between the two separators around the recent files.
std::vector<std::string> recentMenuItems(HWND window, bool& firstGreyed)
{
    HMENU file = ::GetSubMenu(::GetMenu(window), 0);
    std::vector<std::string> items;
    for (int position = kFirstRecentPosition; position < ::GetMenuItemCount(file); ++position) {
        if (::GetMenuItemID(file, position) == 0)
            break;
        char text[300] = {};
        ::GetMenuStringA(file, position, text, sizeof text, MF_BYPOSITION);
        items.push_back(text);
    }
    firstGreyed = (::GetMenuState(file, kFirstRecentPosition, MF_BYPOSITION) & MF_GRAYED) != 0;
    return items;
}

TEST_F(Settings, FreshUserHasOneGreyedRecentItem)
{
    TestWindow window;
    bool greyed = false;
    EXPECT_EQ(recentMenuItems(window.handle(), greyed), std::vector<std::string>{"Last Opened Files"});
    EXPECT_TRUE(greyed);
}

TEST_F(Settings, RecentFilesRotateAndSwap)
{
    TestWindow window;
    for (const char* path : {"C:\\A.zip", "C:\\B.zip", "C:\\C.zip", "C:\\D.zip"})
        window.main().updateRecentFiles(path);
    EXPECT_EQ(storedRecentFiles(), (std::vector<std::string>{"C:\\D.zip", "C:\\C.zip", "C:\\B.zip", "C:\\A.zip"}));

    window.main().updateRecentFiles("C:\\B.zip");
    const std::vector<std::string> expected{"C:\\B.zip", "C:\\C.zip", "C:\\D.zip", "C:\\A.zip"};
    EXPECT_EQ(storedRecentFiles(), expected);
    bool greyed = true;
    EXPECT_EQ(recentMenuItems(window.handle(), greyed), expected);
    EXPECT_FALSE(greyed);

    // Opening the newest again changes nothing; another letter case is another file.
    window.main().updateRecentFiles("C:\\B.zip");
    EXPECT_EQ(storedRecentFiles(), expected);
    window.main().updateRecentFiles("c:\\b.zip");
    EXPECT_EQ(storedRecentFiles(), (std::vector<std::string>{"c:\\b.zip", "C:\\B.zip", "C:\\C.zip", "C:\\D.zip"}));
}

TEST_F(Settings, RecentItemsAppearOneByOne)
{
    TestWindow window;
    bool greyed = true;
    window.main().updateRecentFiles("C:\\first.zip");
    EXPECT_EQ(recentMenuItems(window.handle(), greyed), std::vector<std::string>{"C:\\first.zip"});
    window.main().updateRecentFiles("C:\\second.zip");
    EXPECT_EQ(recentMenuItems(window.handle(), greyed),
              (std::vector<std::string>{"C:\\second.zip", "C:\\first.zip"}));
    EXPECT_FALSE(greyed);
}

TEST_F(Settings, ValuesLandUnderThePerUserKey)
{
    const std::string longPath = "C:\\" + std::string(193, 'p') + ".zip";
    ASSERT_EQ(longPath.size(), 200u);
    TestWindow window;
    window.main().updateRecentFiles(longPath);
    std::string stored;
    ASSERT_TRUE(readUserValue("LastFile1", stored));
    EXPECT_EQ(stored, longPath);
    EXPECT_EQ(settings::readSettingString(settings::kPrefs, "LastFile1", ""), longPath);

    settings::writeSettingInt(settings::kPrefs, "ShowCommentOnOpen", -7);
    ASSERT_TRUE(readUserValue("ShowCommentOnOpen", stored));
    EXPECT_EQ(stored, "-7");
    EXPECT_EQ(settings::readSettingInt(settings::kPrefs, "ShowCommentOnOpen", 0), -7);
    EXPECT_EQ(settings::readSettingInt(settings::kPrefs, "NoSuchKey", 42), 42);

    char mapping[100] = {};
    DWORD size = sizeof mapping;
    ASSERT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE,
                             "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\Packrook.ini",
                             "USERPREFS", RRF_RT_REG_SZ, nullptr, mapping, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(mapping, "USR:Packrook\\USERPREFS");
}

TEST_F(Settings, PlacementAndColumnWidthsSavedOnClose)
{
    {
        TestWindow window;
        ::MoveWindow(window.handle(), 40, 50, 700, 480, TRUE);
        ListView_SetColumnWidth(window.list(), 3, 123);
        window.close();
        EXPECT_FALSE(::IsWindow(window.handle()));
    }
    std::string value;
    ASSERT_TRUE(readUserValue("MainWndL", value));
    EXPECT_EQ(value, "40");
    ASSERT_TRUE(readUserValue("MainWndH", value));
    EXPECT_EQ(value, "480");
    ASSERT_TRUE(readUserValue("LeftListCol3", value));
    EXPECT_EQ(value, "123");
    ASSERT_TRUE(readUserValue("LeftListCol0", value));
    EXPECT_EQ(value, "100");

    TestWindow again;
    RECT rect;
    ::GetWindowRect(again.handle(), &rect);
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right - rect.left, 700);
    EXPECT_EQ(rect.bottom - rect.top, 480);
    EXPECT_EQ(ListView_GetColumnWidth(again.list(), 3), 123);
}

TEST_F(Settings, NothingSavedWhenClosedMinimisedOrByExit)
{
    {
        TestWindow window;
        ::ShowWindow(window.handle(), SW_MINIMIZE);
        ASSERT_TRUE(pumpUntil([&] { return ::IsIconic(window.handle()) != FALSE; }));
        window.close();
        EXPECT_FALSE(::IsWindow(window.handle()));
    }
    {
        TestWindow window;
        ::SendMessageA(window.handle(), WM_COMMAND, ID_FILE_EXIT, 0);
        EXPECT_FALSE(::IsWindow(window.handle()));
    }
    std::string value;
    EXPECT_FALSE(readUserValue("MainWndL", value));
    EXPECT_FALSE(readUserValue("LeftListCol0", value));
}
} // namespace
