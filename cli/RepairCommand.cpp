// repair: a new directory for an archive whose directory is gone, written to
// a new file; the damaged archive stays as it is.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"

#include <iostream>
#include <stdexcept>

namespace {
// Whether the archive opens through its directory, as every other command
// opens it; an archive that does not is left closed.
bool opensWhole(CZipFile& archive, const std::string& path)
{
    if (os::fileAttributes(path) == os::kNoAttributes)
        throw std::runtime_error("No such file: " + path);
    try {
        if (archive.openZipFile(path))
            return true;
    } catch (const CZipException&) {
    }
    archive.close();
    return false;
}

// A search that ran out of work says how far it looked.
std::string unsearched(const CZipFile& archive)
{
    const int64_t from = archive.recoveryUnsearchedFrom();
    return from < 0 ? std::string() : "; entries after offset " + std::to_string(from) + " were not looked for";
}
}

int repairCommand(const Words& words)
{
    Arguments arguments(words, {}, {});
    arguments.requirePositionals(1, 2);
    const std::string& path = arguments.positionals()[0];
    const std::string target =
        arguments.positionals().size() > 1 ? arguments.positionals()[1] : CZipFile::repairedPath(path);
    ConsoleCallBack callback;
    CZipFile archive(&callback);
    if (opensWhole(archive, path)) {
        std::cout << "The directory of " << path << " is sound: nothing to repair\n";
        return 0;
    }
    if (archive.isGzipMode() || archive.isTarMode() || !archive.openRecovered(path))
        throw std::runtime_error("No entry of " + path + " could be recovered" + unsearched(archive));
    const std::string note = unsearched(archive);
    archive.writeRepaired(target);
    std::cout << "Wrote " << archive.getFileCount() << " entries to " << target << note << "\n";
    return 0;
}
