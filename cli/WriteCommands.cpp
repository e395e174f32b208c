// Commands that change a zip archive: add, delete and comment.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"
#include "FolderWalk.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {
uint32_t compressionOption(const std::string& level)
{
    static const std::map<std::string, uint32_t> kOptions = {
        {"normal", 0}, {"fast", 1}, {"max", 2}, {"none", 3}};
    auto found = kOptions.find(level);
    if (found == kOptions.end())
        throw UsageError("unknown level " + level);
    return found->second;
}

// Zip 2.0's encryption stays the default: scripts and readers without AES rely on it.
Encryption encryptionChoice(const std::string& name)
{
    static const std::map<std::string, Encryption> kChoices = {{"zipcrypto", Encryption::ZipCrypto},
                                                               {"aes256", Encryption::Aes256}};
    auto found = kChoices.find(name);
    if (found == kChoices.end())
        throw UsageError("unknown encryption " + name);
    return found->second;
}

// Full paths, so that stored names never hold "..": a folder stands for
// every file below it, in a stable order.
std::vector<CString> filesToAdd(const std::vector<std::string>& arguments)
{
    std::vector<CString> files;
    for (const std::string& argument : arguments) {
        const fs::path path = fs::absolute(toPath(argument)).lexically_normal();
        if (!fs::exists(path))
            throw std::runtime_error("No such file: " + argument);
        if (!fs::is_directory(path)) {
            files.push_back(fromPath(path));
            continue;
        }
        std::vector<CString> below;
        appendFilesBelow(fromPath(path), below);
        std::sort(below.begin(), below.end());
        files.insert(files.end(), below.begin(), below.end());
    }
    return files;
}

void openOrCreate(CZipFile& archive, const std::string& path)
{
    if (os::fileAttributes(path) != os::kNoAttributes)
        openExisting(archive, path);
    else if (!archive.createNewZip(path))
        throw std::runtime_error("Cannot create the archive " + path);
}

// Each name finds the first entry (in archive order) of exactly that name.
std::vector<int32_t> indexesOfEntries(const CZipFile& archive, const std::vector<std::string>& names)
{
    std::unordered_map<std::string, int32_t> indexByName;
    for (int i = archive.getFileCount() - 1; i >= 0; --i)
        indexByName[archive.getFileHeader(i)->name] = i;
    std::vector<int32_t> indexes;
    for (const std::string& name : names) {
        const auto found = indexByName.find(name);
        if (found == indexByName.end())
            throw std::runtime_error("No such entry: " + name);
        indexes.push_back(found->second);
    }
    return indexes;
}
}

int addCommand(const Words& words)
{
    Arguments arguments(words, {"--paths", "--no-replace"}, {"--level", "--password", "--encryption", "--threads"});
    if (arguments.positionals().size() < 2)
        throw UsageError("add needs an archive and at least one file");
    const uint32_t option = compressionOption(arguments.value("--level", "normal"));
    const Encryption encryption = encryptionChoice(arguments.value("--encryption", "zipcrypto"));
    std::vector<CString> files =
        filesToAdd({arguments.positionals().begin() + 1, arguments.positionals().end()});
    ConsoleCallBack callback(arguments.value("--password"), encryption);
    CZipFile archive(&callback);
    archive.setThreadCount(threadCount(arguments));
    openOrCreate(archive, arguments.positionals()[0]);
    requireWritable(archive, arguments.positionals()[0]);
    archive.addNewFiles(files, option, arguments.has("--paths"), !arguments.has("--no-replace"));
    return 0;
}

int deleteCommand(const Words& words)
{
    Arguments arguments(words, {}, {});
    if (arguments.positionals().size() < 2)
        throw UsageError("delete needs an archive and at least one name");
    ConsoleCallBack callback;
    CZipFile archive(&callback);
    openExisting(archive, arguments.positionals()[0]);
    requireWritable(archive, arguments.positionals()[0]);
    std::vector<int32_t> indexes =
        indexesOfEntries(archive, {arguments.positionals().begin() + 1, arguments.positionals().end()});
    archive.removeSomeFiles(indexes);
    return 0;
}

int commentCommand(const Words& words)
{
    Arguments arguments(words, {}, {});
    arguments.requirePositionals(1, 2);
    ConsoleCallBack callback;
    CZipFile archive(&callback);
    openExisting(archive, arguments.positionals()[0]);
    if (arguments.positionals().size() == 1) {
        std::cout << archive.getGlobalComment() << "\n";
        return 0;
    }
    requireWritable(archive, arguments.positionals()[0]);
    archive.setGlobalComment(arguments.positionals()[1]);
    return 0;
}
