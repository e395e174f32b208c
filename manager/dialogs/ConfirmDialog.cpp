#include "ConfirmDialog.h"

#include "ProgressWindow.h"
#include "Settings.h"
#include "resource.h"

namespace {
// What the suppression setting holds.
constexpr long kAsk = 0;
constexpr long kAlwaysYes = 1;
constexpr long kAlwaysNo = 2;

int storedAnswer(long stored)
{
    return stored == kAlwaysNo ? ConfirmDialog::kNoToAll : ConfirmDialog::kYesToAll;
}

long memoryOf(int answer)
{
    return answer == ConfirmDialog::kNo || answer == ConfirmDialog::kNoToAll ? kAlwaysNo : kAlwaysYes;
}
} // namespace

CString ConfirmDialog::suppressionKey(const CString& suppressionName)
{
    return "MsgBoxSuppress\\" + suppressionName;
}

ConfirmDialog::ConfirmDialog(HINSTANCE instance, const CString& suppressionName, const CString& text)
    : Dialog(instance), suppressionName_(suppressionName), text_(text)
{
    operationFlags().promptActive = true;
}

ConfirmDialog::~ConfirmDialog()
{
    operationFlags().promptActive = false;
}

int ConfirmDialog::dialogTemplate() const
{
    return IDD_CONFIRM;
}

INT_PTR ConfirmDialog::handleMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        onInit();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) >= kYes && LOWORD(wParam) <= kNoToAll)
            onAnswer(LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

// Ending the dialog while it is initialised keeps it from ever showing.
void ConfirmDialog::onInit()
{
    const long stored = settings::readSettingInt(settings::kPrefs, suppressionKey(suppressionName_), kAsk);
    if (stored != kAsk) {
        ::EndDialog(handle(), storedAnswer(stored));
        return;
    }
    ::SetDlgItemTextA(handle(), IDC_CONFIRM_TEXT, text_.c_str());
    fitText();
}

// A long path wraps over more lines than the text has room for; the text
// then grows and pushes the tick box and the buttons down, and the dialog
// grows with it, so that the question at its end always shows.
void ConfirmDialog::fitText()
{
    HWND text = ::GetDlgItem(handle(), IDC_CONFIRM_TEXT);
    RECT bounds;
    ::GetWindowRect(text, &bounds);
    const int grow = textHeight(text, bounds.right - bounds.left) - (bounds.bottom - bounds.top);
    if (grow <= 0)
        return;
    ::SetWindowPos(text, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top + grow,
                   SWP_NOMOVE | SWP_NOZORDER);
    for (HWND child = ::GetWindow(text, GW_HWNDFIRST); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (child != text)
            moveDown(child, grow);
    RECT dialog;
    ::GetWindowRect(handle(), &dialog);
    ::SetWindowPos(handle(), nullptr, dialog.left, dialog.top - grow / 2, dialog.right - dialog.left,
                   dialog.bottom - dialog.top + grow, SWP_NOZORDER);
}

// As the static control breaks it: at blanks, and inside a word too long for a line.
int ConfirmDialog::textHeight(HWND text, int width) const
{
    HDC context = ::GetDC(text);
    const HGDIOBJ font = ::SelectObject(context, reinterpret_cast<HGDIOBJ>(::SendMessageA(text, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, width, 0};
    ::DrawTextA(context, text_.c_str(), -1, &needed,
                DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_EDITCONTROL);
    ::SelectObject(context, font);
    ::ReleaseDC(text, context);
    return needed.bottom - needed.top;
}

void ConfirmDialog::moveDown(HWND control, int distance) const
{
    RECT place;
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, handle(), reinterpret_cast<POINT*>(&place), 2);
    ::SetWindowPos(control, nullptr, place.left, place.top + distance, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void ConfirmDialog::onAnswer(int answer)
{
    const long memory = isChecked(IDC_CONFIRM_DONT_ASK) ? memoryOf(answer) : kAsk;
    settings::writeSettingInt(settings::kPrefs, suppressionKey(suppressionName_), memory);
    ::EndDialog(handle(), answer);
}
