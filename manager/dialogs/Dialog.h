#pragma once
// Base of the manager's dialogs: the object binds itself to its window when
// the dialog is initialised and handles every message from then on.
#include "Dpi.h"
#include "ZipString.h"

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
    bool isChecked(int control) const;
    void setChecked(int control, bool checked);
    // A control's text, cut to at most longest characters.
    CString controlText(int control, int longest) const;
    // The icon control that shows the program's icon, which is drawn anew
    // for the dialog's DPI whenever that changes.
    void setProgramIconControl(int control) { programIconControl_ = control; }

    // Hands a message to the object bound to window; starting is the object
    // whose dialog is being initialised by this message, null otherwise.
    static INT_PTR route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Dialog* starting);

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void showProgramIcon(UINT dpi);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    int programIconControl_ = 0;
    dpi::Icon programIcon_;
};

// A modal dialog that ends with OK (after taking its values) or Cancel.
class OkCancelDialog : public Dialog {
public:
    using Dialog::Dialog;

protected:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void onInit() {}
    virtual void onOk() {}
};
