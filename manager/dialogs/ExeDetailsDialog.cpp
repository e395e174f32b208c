#include "ExeDetailsDialog.h"

#include "RunFileList.h"
#include "resource.h"

int ExeDetailsDialog::dialogTemplate() const
{
    return IDD_EXE_DETAILS;
}

void ExeDetailsDialog::onInit()
{
    prepareExeFields(handle(), archive_);
    ::SetDlgItemTextA(handle(), IDC_INSTALL_DIR, installDir_.c_str());
    selectRunFile(::GetDlgItem(handle(), IDC_RUN_FILE));
}

// The first line that begins with the run file's name, ignoring case; the
// list finds it itself.
void ExeDetailsDialog::selectRunFile(HWND list) const
{
    const CString name = runFileName(runFile_);
    if (name.empty()) {
        ::SendMessageA(list, CB_SETCURSEL, 0, 0);
        return;
    }
    const LRESULT line = ::SendMessageA(list, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(name.c_str()));
    ::SendMessageA(list, CB_SETCURSEL, line == CB_ERR ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(line), 0);
}

void ExeDetailsDialog::onOk()
{
    installDir_ = controlText(IDC_INSTALL_DIR, kLongestInstallDir);
    runFile_ = runFileOf(archive_, chosenRunLine(handle()));
}
