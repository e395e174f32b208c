#include "SimpleMail.h"

#include "os/Os.h"

#include <windows.h>
#include <mapi.h>

namespace {
// Simple MAPI takes paths in the host's own code page.
std::string inHostCodePage(const std::string& path)
{
    const std::wstring wide = os::toWide(path);
    const int length = static_cast<int>(wide.size());
    std::string text(static_cast<size_t>(::WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0,
                                                                nullptr, nullptr)),
                     '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &text[0], static_cast<int>(text.size()), nullptr, nullptr);
    return text;
}
} // namespace

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
        std::string pathName = inHostCodePage(path);
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
