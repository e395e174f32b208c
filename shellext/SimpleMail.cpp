#include "SimpleMail.h"

#include "MapiWide.h"
#include "os/Os.h"

namespace {
// The narrow call takes paths in the host's own code page, which may lack
// characters of the archive's name; the wide one, where there is one, none.
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
template <typename Message, typename FileDesc, typename Send, typename Text>
void sendWithAttachment(Send sendMail, Text pathName)
{
    FileDesc attachment = {};
    attachment.nPosition = 0xFFFFFFFF;
    attachment.lpszPathName = &pathName[0];
    Message message = {};
    message.nFileCount = 1;
    message.lpFiles = &attachment;
    sendMail(0, 0, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0);
}

template <typename Function>
Function lookUp(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
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
    if (auto wide = lookUp<MapiSendMailW>(library, "MAPISendMailW"))
        sendWithAttachment<MapiMessageW, MapiFileDescW>(wide, os::toWide(path));
    else if (auto narrow = lookUp<LPMAPISENDMAIL>(library, "MAPISendMail"))
        sendWithAttachment<MapiMessage, MapiFileDesc>(narrow, inHostCodePage(path));
    ::FreeLibrary(library);
}
