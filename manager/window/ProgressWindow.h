#pragma once
// The window that appears when an operation has run for a second: a text
// line and a Cancel button whose clicks are noticed while the work runs beside
// the window, or while status texts pump this window's messages.
#include "Dialog.h"
#include "ZipString.h"

#include <atomic>
#include <functional>

// Shared by the progress window and every prompt that hides it; read by
// work that runs beside the window too.
struct OperationFlags {
    std::atomic<bool> promptActive{false};
    std::atomic<bool> cancelled{false};
};
OperationFlags& operationFlags();

class ProgressWindow : public Dialog {
public:
    ProgressWindow(HINSTANCE instance, HWND owner);
    ~ProgressWindow() override;

    void hideForPrompt();
    void setProgressText(const CString& text);
    // For work that cannot stop halfway.
    void disableCancel();
    // Runs work on a thread of its own while this thread keeps answering:
    // this window's messages are handled (it shows after the usual second)
    // and every window of the thread is repainted; input to the other
    // windows waits, as during any operation. Returns once the work is done
    // and throws what it threw. The work must not touch any window: what
    // it needs done to one it hands to runOnWindowThread.
    void runBeside(const std::function<void()>& work);
    // Runs call on this window's thread: at once when called there, and from
    // the work beside the window as a message that thread handles while the
    // caller waits. Throws what call threw.
    void runOnWindowThread(const std::function<void()>& call);

protected:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    int dialogTemplate() const override;

private:
    void onInit();
    void onTimer();
    void onCancel();
    void startTimer();
    void pumpMessages();
    void answerWhileWorking();
};
