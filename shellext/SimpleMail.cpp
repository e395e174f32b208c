#include "SimpleMail.h"

#include <windows.h>
#include <mapi.h>

bool mailClientPresent()
{
    HMODULE library = ::LoadLibraryA("MAPI32.DLL");
    if (!library)
        return false;
    ::FreeLibrary(library);
    return true;
}

void composeWithAttachment(const std::string& path)
{
    HMODULE library = ::LoadLibraryA("MAPI32.DLL");
    if (!library)
        return;
    auto sendMail = reinterpret_cast<LPMAPISENDMAIL>(
        reinterpret_cast<void*>(::GetProcAddress(library, "MAPISendMail")));
    if (sendMail) {
        std::string pathName = path;
        MapiFileDesc attachment = {};
        attachment.nPosition = 0xFFFFFFFF;
        attachment.lpszPathName = pathName.data();
        MapiMessage message = {};
        message.nFileCount = 1;
        message.lpFiles = &attachment;
        sendMail(0, 0, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
    }
    ::FreeLibrary(library);
}
