#include "StubCallBack.h"

#include "PasswordDialog.h"

#include <cstdio>

namespace {
CString diskPrompt(int disk)
{
    if (disk == -1)
        return "If this file is part of a spanned zip set\r\nPlease insert the last disk of the span set.\r\n"
               "Press OK when done";
    char text[96];
    std::snprintf(text, sizeof text, "Please insert disk %ld of the span set.\r\nPress OK when done",
                  static_cast<long>(disk));
    return text;
}
}

bool StubCallBack::askForDisk(int disk)
{
    return ::MessageBoxA(nullptr, diskPrompt(disk).c_str(), "Packrook", MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

bool StubCallBack::askForPassword(CString& password)
{
    PasswordDialog dialog(password_);
    if (!dialog.show())
        return false;
    password_ = dialog.password();
    password = password_;
    return true;
}
