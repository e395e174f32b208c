// A test-only MAPI32.DLL: records the one call the extension makes instead
// of opening a mail client, in its narrow or its wide form.
#include "MapiStandIn.h"

#include "MapiWide.h"

#include <cstring>
#include <string>

namespace {
RecordedMail lastMail;

std::string utf8(const char* path)
{
    return path;
}

std::string utf8(const wchar_t* path)
{
    std::string text(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr)),
                     '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, path, -1, &text[0], static_cast<int>(text.size()), nullptr, nullptr);
    return text.c_str();
}

template <typename Message>
ULONG record(LHANDLE session, ULONG_PTR parent, const Message* message, FLAGS flags, bool wide)
{
    ++lastMail.calls;
    lastMail.wide = wide;
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
        std::strncpy(lastMail.pathName, utf8(message->lpFiles[0].lpszPathName).c_str(), sizeof lastMail.pathName - 1);
    }
    return SUCCESS_SUCCESS;
}
} // namespace

extern "C" const RecordedMail* recordedMail()
{
    return &lastMail;
}

extern "C" ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR parent, lpMapiMessage message, FLAGS flags, ULONG)
{
    return record(session, parent, message, flags, false);
}

extern "C" ULONG WINAPI MAPISendMailW(LHANDLE session, ULONG_PTR parent, MapiMessageW* message, FLAGS flags, ULONG)
{
    return record(session, parent, message, flags, true);
}
