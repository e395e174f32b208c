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

    int ask(std::vector<DialogStep> steps, std::vector<std::string>* titles = nullptr)
    {
        DialogScript script(::GetCurrentThreadId(), std::move(steps));
        ConfirmDialog dialog(::GetModuleHandleA(nullptr), ConfirmDialog::kFileExists, "The file x already exists");
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

TEST_F(Dialogs, ReadOnlyCommentOffersOnlyOk)
{
    const std::string path = testing_support::scratchFolder() + "locked.zip";
    testing_support::writeBytes(path, testing_support::buildZip({testing_support::RawEntry("a.txt", "a")}, "kept"));
    HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    window.open(path);
    bool editEnabled = true;
    bool cancelShown = true;
    runCommand(window.handle(), ID_ACTIONS_COMMENT, {[&](HWND dialog) {
                   editEnabled = ::IsWindowEnabled(control(dialog, IDC_COMMENT_EDIT));
                   cancelShown = ::IsWindowVisible(control(dialog, IDCANCEL));
                   setText(dialog, IDC_COMMENT_EDIT, "changed");
                   press(dialog, IDOK);
               }});
    EXPECT_FALSE(editEnabled);
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
