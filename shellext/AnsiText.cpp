#include "AnsiText.h"

#include <windows.h>

namespace ansi {

size_t lastIndexOf(const std::string& text, char c)
{
    size_t found = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == c)
            found = i;
        else if (::IsDBCSLeadByte(static_cast<BYTE>(text[i])))
            ++i;
    }
    return found;
}

std::string lowerCase(std::string text)
{
    if (!text.empty())
        ::CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring widenPath(const std::string& path)
{
    wchar_t buffer[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, buffer, MAX_PATH - 1);
    return buffer;
}

} // namespace ansi
