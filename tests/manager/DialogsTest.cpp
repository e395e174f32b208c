// The manager's own dialogs: the overwrite question and its memory, the
// comment editor, Options, and the comment shown on opening.
#include "ConfirmDialog.h"
#include "DialogScript.h"
#include "EntryRecord.h"
#include "ManagerTestSupport.h"
#include "Settings.h"
#include "TestSupport.h"
#include "resource.h"

#include <gtest/gtest.h>

using namespace manager_testing;

namespace {
class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { resetSettings(); }
    void TearDown() override { resetSettings(); }

    int ask(std::vector<DialogStep> steps, std::vector<std::string>* titles = nullptr,
            const std::string& text = "The file x already exists")
    {
        DialogScript script(::GetCurrentThreadId(), std::move(steps));
        ConfirmDialog dialog(::GetModuleHandleA(nullptr), ConfirmDialog::kFileExists, text);
        const int answer = static_cast<int>(dialog.run(window.handle()));
        if (titles)
            *titles = script.titles();
        EXPECT_TRUE(script.finished());
        return answer;
    }

    std::string storedMemory() const
    {
        std::string value;
        readUserValue("MsgBoxSuppress\\File Exists", value);
        return value;
    }

    std::string commentOf(const std::string& path) const
    {
        testing_support::ScriptedCallBack callback;
        CZipFile archive(&callback);
        archive.openZipFile(path);
        return archive.getGlobalComment();
    }

    TestWindow window;
};

DialogStep answerRemembering(int answer)
{
    return [answer](HWND dialog) {
        setCheck(dialog, IDC_CONFIRM_DONT_ASK, true);
        press(dialog, answer);
    };
}

TEST_F(Dialogs, NoPutAwayAnswersNoUntilTheQuestionsAreReset)
{
    std::string message;
    bool promptActive = false;
    EXPECT_EQ(ask({[&](HWND dialog) {
                  message = textOf(dialog, IDC_CONFIRM_TEXT);
                  promptActive = operationFlags().promptActive;
                  answerRemembering(IDC_CONFIRM_NO)(dialog);
              }}),
              ConfirmDialog::kNo);
    EXPECT_EQ(message, "The file x already exists");
    EXPECT_TRUE(promptActive) << "the progress window must stay hidden";
    EXPECT_EQ(storedMemory(), "2");
    EXPECT_FALSE(operationFlags().promptActive);
    std::vector<std::string> titles;
    EXPECT_EQ(ask({}, &titles), ConfirmDialog::kNoToAll);
    EXPECT_TRUE(titles.empty());

    EXPECT_EQ(runCommand(window.handle(), ID_ACTIONS_OPTIONS, {[](HWND dialog) {
                             setCheck(dialog, IDC_OPTIONS_RESET_CONFIRM, true);
                             press(dialog, IDOK);
                         }}),
              std::vector<std::string>{"Packrook Options"});
    EXPECT_EQ(storedMemory(), "0");
    EXPECT_EQ(ask({answerRemembering(IDC_CONFIRM_YES)}), ConfirmDialog::kYes);
    EXPECT_EQ(storedMemory(), "1");
    EXPECT_EQ(ask({}), ConfirmDialog::kYesToAll);
}

RECT placeIn(HWND dialog, int id)
{
    RECT place;
    ::GetWindowRect(control(dialog, id), &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// How tall the text is once the control has broken it into lines.
int wrappedHeight(HWND text)
{
    RECT place;
    ::GetClientRect(text, &place);
    const std::string content = windowText(text);
    HDC context = ::GetDC(text);
    ::SelectObject(context, reinterpret_cast<HGDIOBJ>(::SendMessageA(text, WM_GETFONT, 0, 0)));
    ::DrawTextA(context, content.c_str(), -1, &place, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    ::ReleaseDC(text, context);
    return place.bottom - place.top;
}

TEST_F(Dialogs, OverwriteQuestionAfterALongPathIsNotHiddenByTheTickBox)
{
    const std::string path = "C:\\" + std::string(60, 'a') + "\\" + std::string(60, 'b') + "\\" +
                             std::string(60, 'c') + "\\name&more.txt";
    const std::string text = "The file " + path + " already exists\r\n\r\nDo You want to overwrite it?";
    int needed = 0;
    RECT shown = {};
    RECT tick = {};
    RECT yes = {};
    RECT client = {};
    ask({[&](HWND dialog) {
            needed = wrappedHeight(control(dialog, IDC_CONFIRM_TEXT));
            shown = placeIn(dialog, IDC_CONFIRM_TEXT);
            tick = placeIn(dialog, IDC_CONFIRM_DONT_ASK);
            yes = placeIn(dialog, IDC_CONFIRM_YES);
            ::GetClientRect(dialog, &client);
            press(dialog, IDC_CONFIRM_NO);
        }},
        nullptr, text);
    EXPECT_GE(shown.bottom - shown.top, needed);
    EXPECT_LE(shown.bottom, tick.top);
    EXPECT_LE(tick.bottom, yes.top);
    EXPECT_LE(yes.bottom, client.bottom);
}

TEST_F(Dialogs, CommentKeepsLongLinesAndDropsEmptyOnes)
{
    const std::string path = testing_support::scratchFolder() + "comment.zip";
    const std::string longLine(300, 'x');
    testing_support::writeBytes(path, testing_support::buildZip({testing_support::RawEntry("a.txt", "a")},
                                                                "first\n\r\n" + longLine));
    window.open(path);
    std::string shown;
    EXPECT_EQ(runCommand(window.handle(), ID_ACTIONS_COMMENT, {[&](HWND dialog) {
                             shown = textOf(dialog, IDC_COMMENT_EDIT);
                             press(dialog, IDOK);
                         }}),
              std::vector<std::string>{"Zip File Comment"});
    EXPECT_EQ(shown, "first\r\n\r\n" + longLine);
    window.main().archive().close();
    EXPECT_EQ(commentOf(path), "first\r\n" + longLine + "\r\n");
    EXPECT_NE(runOnHost("unzip -z '" + hostPath(path) + "'").find(longLine), std::string::npos);
}

TEST_F(Dialogs, ReadOnlyCommentScrollsAndOffersOnlyOk)
{
    const std::string path = testing_support::scratchFolder() + "locked.zip";
    testing_support::writeBytes(path, testing_support::buildZip({testing_support::RawEntry("a.txt", "a")}, "kept"));
    HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    window.open(path);
    bool editEnabled = false;
    LONG editStyle = 0;
    bool cancelShown = true;
    runCommand(window.handle(), ID_ACTIONS_COMMENT, {[&](HWND dialog) {
                   editEnabled = ::IsWindowEnabled(control(dialog, IDC_COMMENT_EDIT));
                   editStyle = ::GetWindowLongA(control(dialog, IDC_COMMENT_EDIT), GWL_STYLE);
                   cancelShown = ::IsWindowVisible(control(dialog, IDCANCEL));
                   setText(dialog, IDC_COMMENT_EDIT, "changed");
                   press(dialog, IDOK);
               }});
    EXPECT_TRUE(editEnabled) << "a long comment must scroll";
    EXPECT_TRUE(editStyle & ES_READONLY);
    EXPECT_FALSE(cancelShown);
    window.main().archive().close();
    ::CloseHandle(reader);
    EXPECT_EQ(commentOf(path), "kept");
}

TEST_F(Dialogs, OptionsShowTheCommentOnOpening)
{
    const std::string path = testing_support::scratchFolder() + "shown.zip";
    testing_support::writeBytes(path, testing_support::buildZip({testing_support::RawEntry("a.txt", "a")}, "hello"));
    runCommand(window.handle(), ID_ACTIONS_OPTIONS, {[](HWND dialog) {
                   setCheck(dialog, IDC_OPTIONS_SHOW_COMMENT, true);
                   setCheck(dialog, IDC_OPTIONS_INCLUDE_PATH, false);
                   press(dialog, IDOK);
               }});
    EXPECT_EQ(settings::readSettingInt(settings::kPrefs, "AddToUseIncPath", 1), 0);
    window.main().updateRecentFiles(path);
    EXPECT_EQ(runCommand(window.handle(), ID_FILE_RECENT1, {pressing(IDCANCEL)}),
              std::vector<std::string>{"Zip File Comment"});
}

// Sorting compares a key per row instead of the texts; both must agree.
TEST(SortKeys, OrderTextsAsTheLocaleComparisonDoes)
{
    const std::vector<std::string> names = {"a.txt", "A.TXT", "a-b", "ab", "a b", "co-op", "coop", "Zeta",
                                            "zeta10", "zeta2", "_x", "~y", "01", "1", "ab'c", "abc", "",
                                            "r\xe9sum\xe9", "resume", "\xc4rger", "arger", "file (2).txt"};
    for (const std::string& first : names) {
        for (const std::string& second : names) {
            EntryRecord a;
            EntryRecord b;
            a.name = first;
            b.name = second;
            EXPECT_EQ(compareSortKeys(sortKey(a, kColumnName), sortKey(b, kColumnName)),
                      compareEntryRecords(a, b, kColumnName))
                << "\"" << first << "\" against \"" << second << "\"";
        }
    }
}
} // namespace
