#pragma once
// "Show Add Dialog" below the Open and New dialogs: when ticked, the add
// dialog follows once the archive is open.
#include "FilePanel.h"

class ShowAddPanel : public FilePanel {
public:
    using FilePanel::FilePanel;

protected:
    int dialogTemplate() const override;
    void onFileOk() override;
};
