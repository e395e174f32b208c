#include "ManagerTestSupport.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>

using namespace manager_testing;

namespace {
class MainWindowParts : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override { resetSettings(); }

    std::string statusText() const
    {
        char text[200] = {};
        ::SendMessageA(::GetDlgItem(window.handle(), IDC_STATUSBAR), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }

    std::string buttonCaption(int command) const
    {
        char text[64] = {};
        ::SendMessageA(::GetDlgItem(window.handle(), IDC_TOOLBAR), TB_GETBUTTONTEXTA, command,
                       reinterpret_cast<LPARAM>(text));
        return text;
    }

    TestWindow window;
};

TEST_F(MainWindowParts, ToolbarCaptionsToolTipsAndMenuHelp)
{
    EXPECT_EQ(statusText(), "Started");
    const std::pair<int, const char*> captions[] = {{ID_FILE_OPEN, "Open"},          {ID_FILE_NEW, "Create"},
                                                    {ID_ACTIONS_ADD, "Add"},         {ID_ACTIONS_DELETE, "Remove"},
                                                    {ID_ACTIONS_EXTRACT, "Extract"}, {ID_FILE_CONVERT, "Convert"}};
    for (const auto& [command, caption] : captions)
        EXPECT_EQ(buttonCaption(command), caption);

    NMTTDISPINFOA tip = {};
    tip.hdr.code = TTN_GETDISPINFOA;
    tip.hdr.idFrom = ID_ACTIONS_EXTRACT;
    EXPECT_EQ(::SendMessageA(window.handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip)), 0);
    EXPECT_STREQ(tip.lpszText, "Extract Selcted File(s)");

    ::SendMessageA(window.handle(), WM_MENUSELECT, MAKEWPARAM(ID_FILE_CONVERT, MF_STRING), 0);
    EXPECT_EQ(statusText(), "Convert Zip file to Exe");
    ::SendMessageA(window.handle(), WM_MENUSELECT, MAKEWPARAM(ID_ACTIONS_OPTIONS, MF_STRING), 0);
    EXPECT_EQ(statusText(), "Ready");
}

TEST_F(MainWindowParts, DiskPromptsAnswerOkOrCancel)
{
    {
        DialogAnswerer answerer(::GetCurrentThreadId(), IDOK);
        EXPECT_TRUE(window.main().askForDisk(-1));
        ASSERT_EQ(answerer.texts().size(), 1u);
        EXPECT_EQ(answerer.texts()[0], "Packrook|If this file is part of a spanned zip set\r\nPlease insert the "
                                       "last disk of the span set.\r\nPress OK when done");
    }
    DialogAnswerer answerer(::GetCurrentThreadId(), IDCANCEL);
    EXPECT_FALSE(window.main().askForDisk(3));
    ASSERT_EQ(answerer.texts().size(), 1u);
    EXPECT_EQ(answerer.texts()[0], "Packrook|Please insert disk 3 of the span set.\r\nPress OK when done");
    EXPECT_TRUE(window.main().askForSpanning());
}

TEST_F(MainWindowParts, PasswordIsRememberedForTheNextPrompt)
{
    CString password = "untouched";
    {
        DialogAnswerer cancel(::GetCurrentThreadId(), IDCANCEL, "ignored");
        EXPECT_FALSE(window.main().askForPassword(password));
        ASSERT_EQ(cancel.texts().size(), 1u);
        EXPECT_EQ(cancel.texts()[0].substr(0, 15), "Enter Password|");
    }
    EXPECT_EQ(password, "untouched");
    EXPECT_EQ(window.main().getPassword(), "");
    {
        DialogAnswerer ok(::GetCurrentThreadId(), IDOK, "s3cret");
        EXPECT_TRUE(window.main().askForPassword(password));
    }
    EXPECT_EQ(password, "s3cret");
    EXPECT_EQ(window.main().getPassword(), "s3cret");
    DialogAnswerer again(::GetCurrentThreadId(), IDCANCEL);
    EXPECT_FALSE(window.main().askForPassword(password));
    EXPECT_EQ(again.editText(), "s3cret");
}
} // namespace

namespace {
SIZE iconSize(HICON icon)
{
    ICONINFO info = {};
    BITMAP bitmap = {};
    ::GetIconInfo(icon, &info);
    ::GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, bitmap.bmHeight};
}

int fontHeight(HWND control)
{
    LOGFONTA font = {};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::abs(font.lfHeight);
}
} // namespace

// The manifest, which the test program shares with Packrook.exe, brings
// the themed controls.
TEST(Manifest, Version6Controls)
{
    // Version 6 takes over the buttons of user32 with themed ones of its own.
    TestWindow window;
    HWND button = ::CreateWindowExW(0, L"Button", L"", WS_CHILD, 0, 0, 10, 10, window.handle(), nullptr, nullptr,
                                    nullptr);
    HMODULE owner = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<const char*>(::GetClassLongPtrW(button, GCLP_WNDPROC)), &owner);
    char module[MAX_PATH] = {};
    ::GetModuleFileNameA(owner, module, MAX_PATH);
    EXPECT_NE(std::string(::CharLowerA(module)).find("comctl32.dll"), std::string::npos) << module;
    ::DestroyWindow(button);
}

// Moved to a monitor of 150 percent, the window takes the place the system
// suggests and draws everything for 144 DPI; what it keeps stays for 96 DPI.
TEST_F(MainWindowParts, AnotherMonitorsDpiRedrawsEveryPart)
{
    HWND list = window.list();
    const int listFont = fontHeight(list);
    const int statusFont = fontHeight(::GetDlgItem(window.handle(), IDC_STATUSBAR));
    RECT suggested = {30, 40, 30 + 960, 40 + 720};
    ::SendMessageA(window.handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));

    HWND toolbar = ::GetDlgItem(window.handle(), IDC_TOOLBAR);
    int width = 0;
    int height = 0;
    ::ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(::SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0)), &width,
                            &height);
    EXPECT_EQ(width, 48);
    EXPECT_EQ(height, 48);
    EXPECT_TRUE(window.toolbarEnabled(ID_FILE_OPEN));
    EXPECT_FALSE(window.toolbarEnabled(ID_ACTIONS_EXTRACT)) << "no archive is open";
    EXPECT_EQ(::SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 8);
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), 150);
    EXPECT_EQ(fontHeight(list), ::MulDiv(listFont, 144, 96));
    EXPECT_EQ(fontHeight(::GetDlgItem(window.handle(), IDC_STATUSBAR)), ::MulDiv(statusFont, 144, 96));
    EXPECT_EQ(iconSize(reinterpret_cast<HICON>(::SendMessageA(window.handle(), WM_GETICON, ICON_BIG, 0))).cx,
              ::GetSystemMetricsForDpi(SM_CXICON, 144));
    EXPECT_EQ(iconSize(reinterpret_cast<HICON>(::SendMessageA(window.handle(), WM_GETICON, ICON_SMALL, 0))).cx,
              ::GetSystemMetricsForDpi(SM_CXSMICON, 144));
    RECT placed;
    ::GetWindowRect(window.handle(), &placed);
    EXPECT_TRUE(::EqualRect(&placed, &suggested));

    window.close();
    std::string value;
    ASSERT_TRUE(readUserValue("MainWndW", value));
    EXPECT_EQ(value, "640");
    ASSERT_TRUE(readUserValue("LeftListCol0", value));
    EXPECT_EQ(value, "100");
}
