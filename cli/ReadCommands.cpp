// Commands that read entries: extract to a folder, and test.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"
#include "ZipTime.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace {
// The entry is opened before anything is made of it, and a damaged entry
// leaves no file behind that could pass for a good one.
void extractEntry(CZipFile& archive, int index, const fs::path& target, CZipBuffer& buffer)
{
    OpenEntry entry(archive, index);
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("Cannot create " + fromPath(target));
    try {
        entry.copyTo(&out, buffer);
        out.close();
        if (!out)
            throw std::runtime_error("Cannot write " + fromPath(target));
        // Tar members and gzip files have no zip header to take a time from.
        if (!archive.isTarMode() && !archive.isGzipMode())
            applyStoredTime(fromPath(target), *archive.getFileHeader(index));
    } catch (...) {
        out.close();
        fs::remove(target);
        throw;
    }
}

bool extractOne(CZipFile& archive, int index, const fs::path& destination, CZipBuffer& buffer)
{
    const std::string name = entryName(archive, index);
    if (leavesDestination(name)) {
        std::cerr << "Refused an entry that would land outside the destination folder: " << name << "\n";
        return false;
    }
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
    for (int i = 0; i < archive.getFileCount(); ++i)
        allExtracted = extractOne(archive, i, destination, buffer) && allExtracted;
    return allExtracted ? 0 : 1;
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
        OpenEntry(archive, i).copyTo(nullptr, buffer);
    std::cout << "OK\n";
    return 0;
}
