// A test-only MAPI32.DLL: records the one call the extension makes instead
// of opening a mail client.
#include "MapiStandIn.h"

#include <mapi.h>

#include <cstring>

namespace {
RecordedMail lastMail;
}

extern "C" const RecordedMail* recordedMail()
{
    return &lastMail;
}

extern "C" ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR parent, lpMapiMessage message, FLAGS flags, ULONG)
{
    ++lastMail.calls;
    lastMail.session = session;
    lastMail.parent = parent;
    lastMail.flags = flags;
    lastMail.recipients = message->nRecipCount;
    lastMail.subjectGiven = message->lpszSubject != nullptr;
    lastMail.textGiven = message->lpszNoteText != nullptr;
    lastMail.files = message->nFileCount;
    if (message->nFileCount > 0) {
        lastMail.position = message->lpFiles[0].nPosition;
        lastMail.fileNameGiven = message->lpFiles[0].lpszFileName != nullptr;
        std::strncpy(lastMail.pathName, message->lpFiles[0].lpszPathName, MAX_PATH - 1);
    }
    return SUCCESS_SUCCESS;
}
