#include "CommandText.h"

#include "AnsiText.h"

namespace commandtext {

namespace {

const char quote = '"';

std::string quoted(const std::string& text)
{
    return quote + text + quote;
}

// The text after the last "\", the whole text when there is none.
std::string afterLastBackslash(const std::string& path)
{
    const size_t backslash = ansi::lastIndexOf(path, '\\');
    return backslash == std::string::npos ? path : path.substr(backslash + 1);
}

std::string withZipExtension(const std::string& path)
{
    return path.substr(0, ansi::lastIndexOf(path, '.')) + ".zip";
}

// Every path in double quotes, each followed by one blank; the first quote
// must follow "-a" directly, since the manager takes that character as the
// opening quote of the first name.
std::string fileList(const Selection& selection)
{
    std::string list;
    for (const std::string& path : selection)
        list += quoted(path) + ' ';
    return list;
}

std::string addToArchive(const std::string& archive, const Selection& selection)
{
    return "-h " + quoted(archive) + " -a" + fileList(selection);
}

} // namespace

std::string extensionOf(const std::string& path)
{
    const size_t dot = ansi::lastIndexOf(path, '.');
    return dot == std::string::npos ? std::string() : ansi::lowerCase(path.substr(dot));
}

std::string baseNameOf(const std::string& path)
{
    return afterLastBackslash(path.substr(0, ansi::lastIndexOf(path, '.')));
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
    const std::string name = ansi::lastIndexOf(leadPath, '\\') == std::string::npos
                                 ? std::string()
                                 : afterLastBackslash(leadPath);
    return temporaryFolder + withZipExtension(name);
}

std::string parameters(unsigned offset, const Selection& selection, const std::string& temporaryArchive)
{
    switch (offset) {
    case openArchive:
        return quoted(selection.front());
    case addToNamedArchive:
        return addToArchive(namedArchivePath(selection.front()), selection);
    case zipAndEmail:
        return addToArchive(temporaryArchive, selection);
    default:
        return "-a" + fileList(selection);
    }
}

} // namespace commandtext
