#include "ZipPaths.h"

// Plain string searches only: the stub links this, and stream classes would
// bring the whole locale machinery into it.
namespace {
bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// "..", and also "...", ". ." or ".. ": the system drops the dots and blanks
// at the end of a component, which may leave "..".
bool climbsUp(const CString& component)
{
    size_t dots = 0;
    for (char c : component) {
        if (c != '.' && c != ' ')
            return false;
        dots += c == '.';
    }
    return dots >= 2;
}

CString upperAscii(CString text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The system opens a device for these names, also with an extension
// ("nul.txt") or blanks after them.
bool namesDevice(const CString& component)
{
    CString base = upperAscii(component.substr(0, component.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (base == device)
            return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}
} // namespace

bool leavesDestination(const CString& stored)
{
    const CString name = stored.substr(0, stored.find('\0'));
    if (name.empty() || isSeparator(name[0]) || name.find(':') != CString::npos)
        return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        const CString component = name.substr(start, end - start);
        if (climbsUp(component) || namesDevice(component))
            return true;
        start = end + 1;
    }
    return false;
}
