#pragma once
// "Exe File Details": the install folder and the file to run of a
// self-extracting program, as its stub will read them.
#include "Dialog.h"
#include "ZipFile.h"

class ExeDetailsDialog : public OkCancelDialog {
public:
    ExeDetailsDialog(HINSTANCE instance, const CZipFile& archive, const CString& installDir, const CString& runFile)
        : OkCancelDialog(instance), archive_(archive), installDir_(installDir), runFile_(runFile)
    {
    }

    // After "Save": the values to write into the program.
    const CString& installDir() const { return installDir_; }
    const CString& runFile() const { return runFile_; }

protected:
    int dialogTemplate() const override;
    void onInit() override;
    void onOk() override;

private:
    void selectRunFile(HWND list) const;

    const CZipFile& archive_;
    CString installDir_;
    CString runFile_;
};
