// Commands that read entries: extract to a folder, and test.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"
#include "ExtractedFile.h"
#include "ExtractionPlan.h"

#include <filesystem>
#include <iostream>
#include <vector>

namespace fs = std::filesystem;

namespace {
// The entries to extract, in the archive's order; those refused are named.
std::vector<ExtractJob> extractionJobs(const CZipFile& archive, const fs::path& destination,
                                       std::vector<CString>& refused)
{
    std::vector<ExtractJob> jobs;
    for (int i = 0; i < archive.getFileCount(); ++i) {
        const std::string name = entryName(archive, i);
        if (refusedForExtraction(archive, i, name))
            refused.push_back(name);
        else
            jobs.push_back({i, fromPath(destination / toPath(name)), name.back() == '/'});
    }
    return jobs;
}
}

// One plan for one thread and many, so that the files, the folders and the
// messages are the same whatever the count. An interrupted extraction
// leaves the files it finished, and nothing half written.
int extractCommand(const Words& words)
{
    os::removeTemporariesWhenInterrupted();
    Arguments arguments(words, {}, {"--password", "--threads"});
    arguments.requirePositionals(2, 2);
    ConsoleCallBack callback(arguments.value("--password"));
    CZipFile archive(&callback);
    archive.setThreadCount(threadCount(arguments));
    openExisting(archive, arguments.positionals()[0]);
    std::vector<CString> refused;
    const std::vector<ExtractJob> jobs =
        planExtraction(extractionJobs(archive, toPath(arguments.positionals()[1]), refused));
    bool allExtracted = true;
    archive.extractInParallel(jobs, [&](const ExtractJob&, const CString& error) {
        if (!error.empty()) {
            std::cerr << error << "\n";
            allExtracted = false;
        }
        return true;
    });
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
