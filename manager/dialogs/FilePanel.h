#pragma once
// A panel of extra controls that the system's file dialog shows below its
// own: the panel is a child template of the Explorer-style dialog, and its
// hook sees the dialog's notifications.
#include "Dialog.h"

#include <commdlg.h>

#include <vector>

struct FileRequest {
    const char* title = nullptr;   // null: the system's own
    const char* filters = nullptr; // description and pattern pairs, ending in an empty string
    CString initialFile;
    DWORD flags = 0;               // must-exist and multiple-selection flags
    size_t bufferSize = MAX_PATH;
};

class FilePanel : public Dialog {
public:
    using Dialog::Dialog;

    // True when the user confirmed a choice.
    bool show(HWND owner, const FileRequest& request);
    // The extended error of a show that returned false (0 for Cancel).
    DWORD failure() const { return failure_; }
    // The dialog's result: one full path, or a folder followed by file names.
    std::vector<CString> chosen() const;

protected:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void onInit() {}
    // The user confirmed: take the panel's values.
    virtual void onFileOk() = 0;
    virtual void onCommand(int /*control*/) {}

    // The system's dialog around the panel.
    HWND fileDialog() const { return ::GetParent(handle()); }

private:
    static UINT_PTR CALLBACK hookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onNotify(const NMHDR& notice);
    bool makeRoomForSelection();
    size_t fileDialogTextLength(UINT message) const;

    std::vector<char> buffer_;
    // The request the system's dialog works from while it is shown.
    OPENFILENAMEA* request_ = nullptr;
    DWORD failure_ = 0;
};
