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
    request_ = &dialog;
    const bool confirmed = ::GetOpenFileNameA(&dialog) != FALSE;
    request_ = nullptr;
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
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        onCommand(LOWORD(wParam));
        return FALSE;
    default:
        return FALSE;
    }
}

// A selection of many files needs more room than any buffer given in
// advance: the buffer grows as the selection does, before the dialog copies
// the names into it. Names typed rather than selected are checked when the
// user confirms; if they did not fit, the dialog copied them cut short, so
// the buffer grows and the confirmation is made again.
INT_PTR FilePanel::onNotify(const NMHDR& notice)
{
    if (notice.code == CDN_SELCHANGE) {
        makeRoomForSelection();
    } else if (notice.code == CDN_FILEOK) {
        if (makeRoomForSelection()) {
            ::PostMessageA(fileDialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ::SetWindowLongPtrA(handle(), DWLP_MSGRESULT, 1);
            return TRUE;
        }
        onFileOk();
    }
    return FALSE;
}

// The dialog writes the folder and then each name, every one ending in a
// zero byte; the names typed or shown in its name field take more room
// than that (quotes and blanks). True when the buffer had to grow.
bool FilePanel::makeRoomForSelection()
{
    if (!request_ || !(request_->Flags & OFN_ALLOWMULTISELECT))
        return false;
    // In a code page of two-byte characters a character may take two bytes.
    const size_t needed = 2 * (fileDialogTextLength(CDM_GETFOLDERPATH) + fileDialogTextLength(CDM_GETSPEC)) + 2;
    if (needed <= buffer_.size())
        return false;
    // A selection grows a name at a time; so does the buffer, but in steps.
    buffer_.resize(std::max(needed, 2 * buffer_.size()));
    request_->lpstrFile = buffer_.data();
    request_->nMaxFile = static_cast<DWORD>(buffer_.size());
    return true;
}

// With no buffer the dialog answers how long the text is, its end included.
size_t FilePanel::fileDialogTextLength(UINT message) const
{
    const LRESULT length = ::SendMessageA(fileDialog(), message, 0, 0);
    return length > 0 ? static_cast<size_t>(length) : 0;
}
