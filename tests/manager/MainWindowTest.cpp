#include "ManagerTestSupport.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

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
