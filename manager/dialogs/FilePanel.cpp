#include "FilePanel.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

bool FilePanel::show(HWND owner, const FileRequest& request)
{
    buffer_.assign(std::max(request.bufferSize, size_t{MAX_PATH}), '\0');
    std::strncpy(buffer_.data(), request.initialFile.c_str(), MAX_PATH - 1);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.hInstance = instance();
    dialog.lpstrFilter = request.filters;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer_.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer_.size());
    dialog.lpstrTitle = request.title;
    dialog.Flags = request.flags | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
    dialog.lCustData = reinterpret_cast<LPARAM>(this);
    dialog.lpfnHook = hookProc;
    dialog.lpTemplateName = MAKEINTRESOURCEA(dialogTemplate());
    const bool confirmed = ::GetOpenFileNameA(&dialog) != FALSE;
    failure_ = confirmed ? 0 : ::CommDlgExtendedError();
    return confirmed;
}

// Multiple selection separates the strings with zero bytes and ends them
// with an empty one; a single choice is one full path.
std::vector<CString> FilePanel::chosen() const
{
    std::vector<CString> strings;
    for (const char* text = buffer_.data(); *text; text += std::strlen(text) + 1)
        strings.emplace_back(text);
    return strings;
}

UINT_PTR CALLBACK FilePanel::hookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* starting = nullptr;
    if (message == WM_INITDIALOG)
        starting = reinterpret_cast<FilePanel*>(reinterpret_cast<const OPENFILENAMEA*>(lParam)->lCustData);
    return static_cast<UINT_PTR>(route(window, message, wParam, lParam, starting));
}

INT_PTR FilePanel::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // The focus stays in the system dialog's name field.
        onInit();
        return FALSE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->code == CDN_FILEOK)
            onFileOk();
        return FALSE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return FALSE;
    default:
        return FALSE;
    }
}
