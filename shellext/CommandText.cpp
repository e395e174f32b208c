#include "CommandText.h"

#include "os/Os.h"

#include <windows.h>

namespace commandtext {

namespace {

const char quote = '"';

std::string quoted(const std::string& text)
{
    return quote + text + quote;
}

// The text after the last "\", the whole text when there is none. No byte
// of a UTF-8 sequence is ever taken for a separator or a dot.
std::string afterLastBackslash(const std::string& path)
{
    const size_t backslash = path.rfind('\\');
    return backslash == std::string::npos ? path : path.substr(backslash + 1);
}

// Where the last path element's extension begins; npos when it has none. A
// dot in a folder's name ("C:\\Users\\john.doe\\Photos") begins none.
size_t extensionDot(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t backslash = path.rfind('\\');
    return dot != std::string::npos && (backslash == std::string::npos || dot > backslash) ? dot
                                                                                           : std::string::npos;
}

std::string withZipExtension(const std::string& path)
{
    return path.substr(0, extensionDot(path)) + ".zip";
}

std::string lowerCase(const std::string& text)
{
    std::wstring wide = os::toWide(text);
    if (!wide.empty())
        ::CharLowerBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    CString lowered;
    os::fromWide(wide, lowered);
    return lowered;
}

std::string addToArchive(const std::string& archive, const std::string& listFile)
{
    return "-h " + quoted(archive) + " -l " + quoted(listFile);
}

} // namespace

std::string extensionOf(const std::string& path)
{
    const size_t dot = extensionDot(path);
    return dot == std::string::npos ? std::string() : lowerCase(path.substr(dot));
}

std::string baseNameOf(const std::string& path)
{
    return afterLastBackslash(path.substr(0, extensionDot(path)));
}

std::string itemText(Offset offset, const std::string& leadPath)
{
    switch (offset) {
    case addToPickedArchive:
        return "Add to Packrook...";
    case addToNamedArchive:
        return "Add to " + quoted(baseNameOf(leadPath) + ".zip");
    case openArchive:
        return "Open with Packrook";
    case zipAndEmail:
        return "Zip and Email " + quoted(baseNameOf(leadPath) + ".zip");
    }
    return std::string();
}

std::string namedArchivePath(const std::string& leadPath)
{
    return withZipExtension(leadPath);
}

std::string mailArchivePath(std::string temporaryFolder, const std::string& leadPath)
{
    if (temporaryFolder.empty() || temporaryFolder.back() != '\\')
        temporaryFolder += '\\';
    // Only the file's own name is searched for its dot: a dot in the
    // temporary folder's path (a user called "john.doe") would otherwise put
    // the archive outside that folder, onto whatever lies there.
    const std::string name = leadPath.rfind('\\') == std::string::npos
                                 ? std::string()
                                 : afterLastBackslash(leadPath);
    return temporaryFolder + withZipExtension(name);
}

std::string parameters(unsigned offset, const Selection& selection, const std::string& temporaryArchive,
                       const std::string& listFile)
{
    switch (offset) {
    case openArchive:
        return quoted(selection.front());
    case addToNamedArchive:
        return addToArchive(namedArchivePath(selection.front()), listFile);
    case zipAndEmail:
        return addToArchive(temporaryArchive, listFile);
    default:
        return "-l " + quoted(listFile);
    }
}

std::string listText(const Selection& selection)
{
    std::string text;
    for (const std::string& path : selection)
        text += path + "\r\n";
    return text;
}

} // namespace commandtext
