// Commands that read entries: extract to a folder, and test.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"
#include "ExtractedFile.h"

#include <filesystem>
#include <iostream>
#include <vector>

namespace fs = std::filesystem;

namespace {
// What went wrong with one entry is told, and the others go on.
template <typename Step>
bool reported(Step step)
{
    try {
        step();
        return true;
    } catch (const CZipException& error) {
        std::cerr << error.getMessage() << "\n";
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
    }
    return false;
}

// The engine's writer puts the file in place only once the entry checked
// out: a damaged entry leaves whatever file was there before as it was.
void extractEntry(CZipFile& archive, int index, const fs::path& target, CZipBuffer& buffer)
{
    fs::create_directories(target.parent_path());
    extractEntryTo(archive, index, fromPath(target), buffer, TemporaryNames::ofThisProgram());
}

bool extractOne(CZipFile& archive, int index, const fs::path& destination, CZipBuffer& buffer)
{
    const std::string name = entryName(archive, index);
    return reported([&] {
        if (name.back() == '/')
            fs::create_directories(destination / toPath(name));
        else
            extractEntry(archive, index, destination / toPath(name), buffer);
    });
}

// Folders are made first, here; the files are then extracted on the
// archive's threads.
bool extractOnThreads(CZipFile& archive, const std::vector<int>& indexes, const fs::path& destination)
{
    bool allExtracted = true;
    std::vector<ExtractJob> jobs;
    for (int index : indexes) {
        const std::string name = entryName(archive, index);
        allExtracted = reported([&] {
            const fs::path target = destination / toPath(name);
            if (name.back() == '/') {
                fs::create_directories(target);
                return;
            }
            fs::create_directories(target.parent_path());
            jobs.push_back({index, fromPath(target)});
        }) && allExtracted;
    }
    archive.extractInParallel(jobs, [&](const ExtractJob&, const CString& error) {
        if (!error.empty()) {
            std::cerr << error << "\n";
            allExtracted = false;
        }
        return true;
    });
    return allExtracted;
}
}

int extractCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--password", "--threads"});
    arguments.requirePositionals(2, 2);
    ConsoleCallBack callback(arguments.value("--password"));
    CZipFile archive(&callback);
    archive.setThreadCount(threadCount(arguments));
    openExisting(archive, arguments.positionals()[0]);
    const fs::path destination = toPath(arguments.positionals()[1]);
    std::vector<CString> refused;
    std::vector<int> indexes;
    for (int i = 0; i < archive.getFileCount(); ++i) {
        const std::string name = entryName(archive, i);
        if (refusedForExtraction(archive, i, name))
            refused.push_back(name);
        else
            indexes.push_back(i);
    }
    bool allExtracted = true;
    if (archive.threadCount() > 1) {
        allExtracted = extractOnThreads(archive, indexes, destination);
    } else {
        CZipBuffer buffer;
        for (int index : indexes)
            allExtracted = extractOne(archive, index, destination, buffer) && allExtracted;
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
