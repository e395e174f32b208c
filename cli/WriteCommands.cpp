// Commands that change a zip archive: add, delete and comment.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>

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
        for (const auto& item : fs::recursive_directory_iterator(path))
            if (!item.is_directory())
                below.push_back(fromPath(item.path()));
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

int32_t indexOfEntry(const CZipFile& archive, const std::string& name)
{
    for (int i = 0; i < archive.getFileCount(); ++i)
        if (archive.getFileHeader(i)->name == name)
            return i;
    throw std::runtime_error("No such entry: " + name);
}
}

int addCommand(const Words& words)
{
    Arguments arguments(words, {"--paths", "--no-replace"}, {"--level", "--password"});
    if (arguments.positionals().size() < 2)
        throw UsageError("add needs an archive and at least one file");
    const uint32_t option = compressionOption(arguments.value("--level", "normal"));
    std::vector<CString> files =
        filesToAdd({arguments.positionals().begin() + 1, arguments.positionals().end()});
    ConsoleCallBack callback(arguments.value("--password"));
    CZipFile archive(&callback);
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
    std::vector<int32_t> indexes;
    for (auto name = arguments.positionals().begin() + 1; name != arguments.positionals().end(); ++name)
        indexes.push_back(indexOfEntry(archive, *name));
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
