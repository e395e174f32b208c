#pragma once
// "Packrook Options": folder names for context-menu adds, the comment on
// opening, and bringing back the questions put away.
#include "Dialog.h"

class OptionsDialog : public OkCancelDialog {
public:
    using OkCancelDialog::OkCancelDialog;

protected:
    int dialogTemplate() const override;
    void onInit() override;
    void onOk() override;
};
