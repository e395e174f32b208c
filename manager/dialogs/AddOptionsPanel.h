#pragma once
// The add dialog's own controls: compression, password, replacing, folder
// names, subfolders, and "Add with wildcards", which closes the dialog with
// the typed pattern instead of chosen files.
#include "FilePanel.h"

class AddOptionsPanel : public FilePanel {
public:
    using FilePanel::FilePanel;

protected:
    int dialogTemplate() const override;
    void onInit() override;
    void onFileOk() override;
    void onCommand(int control) override;

private:
    void takeOptions();
    void storeChoices() const;
    void addWithWildcards();
    CString typedPattern() const;
};
