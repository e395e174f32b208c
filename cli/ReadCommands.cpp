// Commands that read entries: extract to a folder, and test.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"
#include "ExtractedFile.h"
#include "ZipTime.h"

#include <filesystem>
#include <iostream>
#include <vector>

namespace fs = std::filesystem;

namespace {
// The engine's writer puts the file in place only once the entry checked
// out: a damaged entry leaves whatever file was there before as it was.
void extractEntry(CZipFile& archive, int index, const fs::path& target, CZipBuffer& buffer)
{
    OpenEntry entry(archive, index);
    fs::create_directories(target.parent_path());
    const CString path = fromPath(target);
    extractOpenEntry(archive, path, buffer);
    // Tar members and gzip files have no zip header to take a time from.
    if (!archive.isTarMode() && !archive.isGzipMode())
        applyStoredTime(path, *archive.getFileHeader(index));
}

bool extractOne(CZipFile& archive, int index, const fs::path& destination, CZipBuffer& buffer)
{
    const std::string name = entryName(archive, index);
    try {
        if (name.back() == '/')
            fs::create_directories(destination / toPath(name));
        else
            extractEntry(archive, index, destination / toPath(name), buffer);
        return true;
    } catch (const CZipException& error) {
        std::cerr << error.getMessage() << "\n";
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
    }
    return false;
}
}

int extractCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--password"});
    arguments.requirePositionals(2, 2);
    ConsoleCallBack callback(arguments.value("--password"));
    CZipFile archive(&callback);
    openExisting(archive, arguments.positionals()[0]);
    const fs::path destination = toPath(arguments.positionals()[1]);
    CZipBuffer buffer;
    bool allExtracted = true;
    std::vector<CString> refused;
    for (int i = 0; i < archive.getFileCount(); ++i) {
        const std::string name = entryName(archive, i);
        if (refusedForExtraction(archive, i, name))
            refused.push_back(name);
        else
            allExtracted = extractOne(archive, i, destination, buffer) && allExtracted;
    }
    if (!refused.empty())
        std::cerr << refusedNamesWarning(refused, refused.size(), "\n") << "\n";
    return allExtracted && refused.empty() ? 0 : 1;
}

int testCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--password"});
    arguments.requirePositionals(1, 1);
    ConsoleCallBack callback(arguments.value("--password"));
    CZipFile archive(&callback);
    openExisting(archive, arguments.positionals()[0]);
    CZipBuffer buffer;
    for (int i = 0; i < archive.getFileCount(); ++i)
        OpenEntry(archive, i).readToEnd(buffer);
    std::cout << "OK\n";
    return 0;
}
