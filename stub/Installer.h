#pragma once
#include "StubCallBack.h"
#include "ZipFile.h"

// The whole life of a self-extracting program: read the parameters, confirm
// with the user, install every entry of its own archive, start the run file.
class Installer {
public:
    Installer() : archive_(&callback_) {}

    // The process exit code.
    int run();

private:
    bool confirm(const CString& installDir) const;
    void extractEntry(const CString& installDir, long index);
    void refuseEscapingName(long index) const;

    StubCallBack callback_;
    CZipFile archive_;
    CZipBuffer buffer_;
};
