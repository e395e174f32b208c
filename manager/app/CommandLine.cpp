#include "CommandLine.h"

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
    if (!startsWith(rest, "-a"))
        rest = trimmed(takeArchivePath(rest, line));
    if (startsWith(rest, "-a"))
        line.files = quotedNames(rest.substr(2));
    return line;
}
