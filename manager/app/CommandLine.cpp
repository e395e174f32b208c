#include "CommandLine.h"

#include "os/Os.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr const char* kWhiteSpace = " \t\r\n";

CString trimmed(const CString& text)
{
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == CString::npos)
        return CString();
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

bool startsWith(const CString& text, const char* prefix)
{
    return text.compare(0, 2, prefix) == 0;
}

// Takes the leading archive path off text and returns what follows it.
CString takeArchivePath(const CString& text, CommandLine& line)
{
    CString rest;
    if (!text.empty() && text[0] == '"') {
        const size_t closing = text.find('"', 1);
        if (closing == CString::npos)
            return CString();
        line.archivePath = text.substr(1, closing - 1);
        rest = text.substr(closing + 1);
    } else {
        const size_t blank = text.find(' ', 1);
        line.archivePath = text.substr(0, blank);
        if (blank != CString::npos)
            rest = text.substr(blank + 1);
    }
    line.archivePathGiven = true;
    return rest;
}

// Whatever character follows "-a" opens the first name; every later name
// opens at the next double quote after the previous name closed.
std::vector<CString> quotedNames(const CString& list)
{
    std::vector<CString> names;
    size_t opening = 0;
    while (opening < list.size()) {
        const size_t closing = list.find('"', opening + 1);
        if (closing == CString::npos)
            break;
        names.push_back(list.substr(opening + 1, closing - opening - 1));
        opening = list.find('"', closing + 1);
    }
    return names;
}

// A path in double quotes, or the whole text without them.
CString unquoted(const CString& text)
{
    if (text.empty() || text[0] != '"')
        return text;
    return text.substr(1, text.find('"', 1) - 1);
}

bool readWhole(const CString& path, CString& text)
{
    os::FileHandle file = os::openFile(path, os::OpenMode::ReadExisting);
    if (file == os::kInvalidFile)
        return false;
    const int64_t size = os::fileSize(file);
    text.assign(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    uint32_t got = 0;
    const bool whole = size >= 0 && (text.empty() || os::readFile(file, &text[0], static_cast<uint32_t>(size), got))
                       && got == text.size();
    os::closeFile(file);
    return whole;
}

// Only a list in the temporary folder is the manager's to remove: a path
// typed by hand never costs the user a file.
bool inTemporaryFolder(const CString& path)
{
    const CString folder = os::tempFolder();
    return path.size() > folder.size() && _strnicmp(path.c_str(), folder.c_str(), folder.size()) == 0;
}
} // namespace

CommandLine parseCommandLine(const CString& text)
{
    CommandLine line;
    CString rest = trimmed(text);
    if (startsWith(rest, "-U")) {
        line.uninstall = true;
        return line;
    }
    if (startsWith(rest, "-h")) {
        line.hidden = true;
        rest = trimmed(rest.substr(2));
    }
    if (!startsWith(rest, "-a") && !startsWith(rest, "-l"))
        rest = trimmed(takeArchivePath(rest, line));
    if (startsWith(rest, "-a"))
        line.files = quotedNames(rest.substr(2));
    else if (startsWith(rest, "-l"))
        line.listFile = unquoted(trimmed(rest.substr(2)));
    return line;
}

bool takeListFile(CommandLine& line, CString& failure)
{
    if (line.listFile.empty())
        return true;
    CString text;
    const bool read = readWhole(line.listFile, text);
    if (inTemporaryFolder(line.listFile))
        os::removeFile(line.listFile);
    if (!read) {
        failure = "Cannot read the list of files to add " + line.listFile;
        return false;
    }
    std::vector<CString> names;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        const CString utf8 = text.substr(start, end - start - (end > start && text[end - 1] == '\r'));
        CString name;
        if (utf8.empty())
            continue;
        if (!os::nameFromUtf8(utf8, name)) {
            failure = "The system's code page cannot hold the name of " + name;
            return false;
        }
        names.push_back(name);
    }
    line.files.insert(line.files.end(), names.begin(), names.end());
    return true;
}
