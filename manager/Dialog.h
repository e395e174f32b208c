#pragma once
// Base of the manager's dialogs: the object binds itself to its window when
// the dialog is initialised and handles every message from then on.
#include <windows.h>

class Dialog {
public:
    explicit Dialog(HINSTANCE instance) : instance_(instance) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Modal: returns the identifier of the button that ended the dialog.
    INT_PTR run(HWND owner);
    // Modeless: the window stays until it is destroyed.
    HWND create(HWND owner);

    HWND handle() const { return window_; }

protected:
    virtual INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual int dialogTemplate() const = 0;

    HINSTANCE instance() const { return instance_; }

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE instance_;
    HWND window_ = nullptr;
};
