#pragma once
#include "StubCallBack.h"
#include "ZipFile.h"

#include <vector>

// The whole life of a self-extracting program: read the parameters, confirm
// with the user, install every entry of its own archive, start the run file.
class Installer {
public:
    Installer() : archive_(&callback_) {}

    // The process exit code.
    int run();

private:
    bool confirm(const CString& installDir) const;
    void extractEntries(const CString& installDir);
    bool isRunFile(const CString& relative) const;
    void startRunFile(const CString& installDir) const;

    StubCallBack callback_;
    CZipFile archive_;
    CString runFile_;
    // The run file is started only when its own entry installed in this run:
    // never an older or a foreign file of that name, nor anything outside
    // the install directory (no entry installs there).
    bool runFileInstalled_ = false;
    // Entries left out for their names, named in one warning at the end.
    std::vector<CString> refusedNames_;
};
