#include "OptionsDialog.h"

#include "ConfirmDialog.h"
#include "Settings.h"
#include "resource.h"

int OptionsDialog::dialogTemplate() const
{
    return IDD_OPTIONS;
}

void OptionsDialog::onInit()
{
    setChecked(IDC_OPTIONS_INCLUDE_PATH, settings::readSettingInt(settings::kPrefs, "AddToUseIncPath", 1) != 0);
    setChecked(IDC_OPTIONS_SHOW_COMMENT, settings::readSettingInt(settings::kPrefs, "ShowCommentOnOpen", 0) != 0);
}

void OptionsDialog::onOk()
{
    settings::writeSettingInt(settings::kPrefs, "AddToUseIncPath", isChecked(IDC_OPTIONS_INCLUDE_PATH));
    settings::writeSettingInt(settings::kPrefs, "ShowCommentOnOpen", isChecked(IDC_OPTIONS_SHOW_COMMENT));
    if (isChecked(IDC_OPTIONS_RESET_CONFIRM))
        settings::writeSettingInt(settings::kPrefs, ConfirmDialog::suppressionKey(ConfirmDialog::kFileExists), 0);
}
