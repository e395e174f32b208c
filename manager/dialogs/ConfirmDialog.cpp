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
}

void ConfirmDialog::onAnswer(int answer)
{
    const long memory = isChecked(IDC_CONFIRM_DONT_ASK) ? memoryOf(answer) : kAsk;
    settings::writeSettingInt(settings::kPrefs, suppressionKey(suppressionName_), memory);
    ::EndDialog(handle(), answer);
}
