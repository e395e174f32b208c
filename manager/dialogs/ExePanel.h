#pragma once
// Below the Convert To EXE dialog: where the program installs to and which
// of its entries it starts afterwards.
#include "FilePanel.h"
#include "ZipFile.h"

class ExePanel : public FilePanel {
public:
    ExePanel(HINSTANCE instance, const CZipFile& archive) : FilePanel(instance), archive_(archive) {}

    const CString& installDir() const { return installDir_; }
    // 0 for "None", k for the entry at index k - 1.
    long runChoice() const { return runChoice_; }

protected:
    int dialogTemplate() const override;
    void onInit() override;
    void onFileOk() override;

private:
    const CZipFile& archive_;
    CString installDir_;
    long runChoice_ = 0;
};
