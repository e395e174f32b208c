#pragma once
// A question with four answers and "Dont ask me this again". A question put
// away keeps the kind of answer it was given: Yes or Yes To All answer Yes To
// All from then on, No or No To All answer No To All. The Options dialog's
// "Reset all confirmation dialogs" brings the questions back.
#include "Dialog.h"

class ConfirmDialog : public Dialog {
public:
    enum Answer { kYes = 1, kNo = 2, kYesToAll = 3, kNoToAll = 4 };

    static constexpr const char* kFileExists = "File Exists";
    // The setting that remembers a question put away.
    static CString suppressionKey(const CString& suppressionName);

    // While the object lives a prompt is active: the progress window stays hidden.
    ConfirmDialog(HINSTANCE instance, const CString& suppressionName, const CString& text);
    ~ConfirmDialog() override;

protected:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    int dialogTemplate() const override;

private:
    void onInit();
    void onAnswer(int answer);
    void fitText();
    int textHeight(HWND text, int width) const;
    void moveDown(HWND control, int distance) const;

    CString suppressionName_;
    CString text_;
};
