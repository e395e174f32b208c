#include "ShowAddPanel.h"

#include "AddOptions.h"
#include "resource.h"

int ShowAddPanel::dialogTemplate() const
{
    return IDD_SHOW_ADD_PANEL;
}

void ShowAddPanel::onFileOk()
{
    addOptions().showAddDialog = isChecked(IDC_SHOW_ADD);
}
