#include "ExePanel.h"

#include "RunFileList.h"
#include "resource.h"

int ExePanel::dialogTemplate() const
{
    return IDD_EXE_PANEL;
}

void ExePanel::onInit()
{
    prepareExeFields(handle(), archive_);
    ::SendDlgItemMessageA(handle(), IDC_RUN_FILE, CB_SETCURSEL, 0, 0);
}

void ExePanel::onFileOk()
{
    runChoice_ = chosenRunLine(handle());
    installDir_ = controlText(IDC_INSTALL_DIR, kLongestInstallDir);
}
