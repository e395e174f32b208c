#include "ExePanel.h"

#include "RunFileList.h"
#include "resource.h"

namespace {
constexpr int kLongestInstallDir = MAX_PATH - 1;
}

int ExePanel::dialogTemplate() const
{
    return IDD_EXE_PANEL;
}

void ExePanel::onInit()
{
    ::SendDlgItemMessageA(handle(), IDC_INSTALL_DIR, EM_LIMITTEXT, kLongestInstallDir, 0);
    HWND list = ::GetDlgItem(handle(), IDC_RUN_FILE);
    fillRunFileList(list, archive_);
    ::SendMessageA(list, CB_SETCURSEL, 0, 0);
}

void ExePanel::onFileOk()
{
    const LRESULT line = ::SendDlgItemMessageA(handle(), IDC_RUN_FILE, CB_GETCURSEL, 0, 0);
    runChoice_ = line == CB_ERR ? 0 : static_cast<long>(line);
    installDir_ = controlText(IDC_INSTALL_DIR, kLongestInstallDir);
}
