#pragma once
// The window that appears when an operation has run for a second: a text
// line and a Cancel button whose clicks are noticed while status texts pump
// this window's messages.
#include "Dialog.h"
#include "ZipString.h"

// Shared by the progress window and every prompt that hides it.
struct OperationFlags {
    bool promptActive = false;
    bool cancelled = false;
};
OperationFlags& operationFlags();

class ProgressWindow : public Dialog {
public:
    ProgressWindow(HINSTANCE instance, HWND owner);
    ~ProgressWindow() override;

    void hideForPrompt();
    void setProgressText(const CString& text);

protected:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    int dialogTemplate() const override;

private:
    void onInit();
    void onTimer();
    void onCancel();
    void startTimer();
    void pumpMessages();
};
