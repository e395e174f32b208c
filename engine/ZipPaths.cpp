#include "ZipPaths.h"

#include "ZipFile.h"
#include "os/Os.h"

#include <algorithm>

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

// "." and, as the system drops the blanks at the end, ". ": the folder itself.
bool staysHere(const CString& component)
{
    return component.find_first_not_of(". ") == CString::npos
           && std::count(component.begin(), component.end(), '.') <= 1;
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
    if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)
        return false;
    // Ports are numbered 1 to 9, and the system takes the superscript digits
    // one to three (here in UTF-8) for ports as well.
    const CString number = base.substr(3);
    static const char* const kSuperscripts[] = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};
    for (const char* superscript : kSuperscripts)
        if (number == superscript)
            return true;
    return number.size() == 1 && number[0] >= '1' && number[0] <= '9';
}

// Judged in UTF-8, where the system's spelling allows: a character of the
// code page is then one and the same however the page encodes it.
CString inUtf8(const CString& name)
{
    CString utf8;
    return os::nameToUtf8(name, utf8) ? utf8 : name;
}
} // namespace

bool leavesDestination(const CString& stored)
{
    const CString name = inUtf8(stored.substr(0, stored.find('\0')));
    if (name.empty() || isSeparator(name[0]) || name.find(':') != CString::npos)
        return true;
    bool namesItself = true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        const CString component = name.substr(start, end - start);
        if (climbsUp(component) || namesDevice(component))
            return true;
        namesItself = namesItself && staysHere(component);
        start = end + 1;
    }
    // A folder entry for the destination itself ("./", which tar puts first
    // when a folder is archived as ".") has nothing to make and is harmless;
    // only a file cannot take the folder's place.
    return namesItself && !isSeparator(name.back());
}

CString runFileInInstallDir(const CString& runFile)
{
    CString name = runFile.substr(!runFile.empty() && isSeparator(runFile[0]) ? 1 : 0);
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

bool refusedForExtraction(const CZipFile& archive, int index, const CString& written)
{
    const bool nameFits = archive.isGzipMode() || archive.isTarMode() || archive.getFileHeader(index)->nameFitsSystem;
    return !nameFits || leavesDestination(written);
}

CString refusedNamesWarning(const std::vector<CString>& names, size_t shown, const char* lineBreak)
{
    CString text = CString("These entries were not extracted: their names would lead outside the folder, to a "
                           "device or to a stream, or the system cannot hold them.")
                   + lineBreak;
    for (size_t i = 0; i < names.size() && i < shown; ++i)
        text += lineBreak + names[i];
    if (names.size() > shown)
        text += lineBreak + CString("... and ") + std::to_string(names.size() - shown) + " more";
    return text;
}
