#include "AboutDialog.h"

#include "resource.h"

int AboutDialog::dialogTemplate() const
{
    return IDD_ABOUT;
}
