#include "ExeDetailsDialog.h"

#include "RunFileList.h"
#include "resource.h"

namespace {
constexpr int kLongestInstallDir = MAX_PATH - 1;
}

int ExeDetailsDialog::dialogTemplate() const
{
    return IDD_EXE_DETAILS;
}

void ExeDetailsDialog::onInit()
{
    ::SendDlgItemMessageA(handle(), IDC_INSTALL_DIR, EM_LIMITTEXT, kLongestInstallDir, 0);
    ::SetDlgItemTextA(handle(), IDC_INSTALL_DIR, installDir_.c_str());
    HWND list = ::GetDlgItem(handle(), IDC_RUN_FILE);
    fillRunFileList(list, archive_);
    selectRunFile(list);
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
    const LRESULT line = ::SendDlgItemMessageA(handle(), IDC_RUN_FILE, CB_GETCURSEL, 0, 0);
    runFile_ = runFileOf(archive_, line == CB_ERR ? 0 : static_cast<long>(line));
}
