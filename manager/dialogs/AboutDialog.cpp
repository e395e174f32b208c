#include "AboutDialog.h"

#include "resource.h"

AboutDialog::AboutDialog(HINSTANCE instance) : OkCancelDialog(instance)
{
    setProgramIconControl(IDC_ABOUT_ICON);
}

int AboutDialog::dialogTemplate() const
{
    return IDD_ABOUT;
}
