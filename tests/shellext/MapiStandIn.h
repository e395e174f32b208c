#pragma once
// What the stand-in MAPI32.DLL saw of the last MAPISendMail call. A test
// keeps the DLL loaded itself, so the record outlives the extension's
// LoadLibrary/FreeLibrary pair.
#include <windows.h>

struct RecordedMail {
    int calls;
    bool wide;  // through MAPISendMailW
    ULONG_PTR session;
    ULONG_PTR parent;
    ULONG flags;
    ULONG recipients;
    bool subjectGiven;
    bool textGiven;
    ULONG files;
    ULONG position;
    bool fileNameGiven;
    char pathName[4 * MAX_PATH];  // in UTF-8
};

using RecordedMailFunction = const RecordedMail* (*)();
