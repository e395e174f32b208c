// packrook-cli: the archive engine from a console, for scripts, tests and
// benchmarks.
#include "Arguments.h"
#include "Commands.h"
#include "ZipException.h"

#include <iostream>

namespace {
struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Words&);
};

const Command kCommands[] = {
    {"list", "list ARCHIVE", listCommand},
    {"extract", "extract ARCHIVE DESTDIR [--password P] [--threads N]", extractCommand},
    {"test", "test ARCHIVE [--password P]", testCommand},
    {"add", "add ARCHIVE [--level normal|fast|max|none] [--paths] [--no-replace] [--password P]"
            " [--encryption zipcrypto|aes256] [--threads N] FILE...",
     addCommand},
    {"delete", "delete ARCHIVE NAME...", deleteCommand},
    {"comment", "comment ARCHIVE [TEXT]", commentCommand},
    {"sfx", "sfx ARCHIVE OUT.exe [--install-dir D] [--run FILE]", sfxCommand},
    {"exe-params", "exe-params FILE [--set INSTALLDIR RUNFILE]", exeParamsCommand},
    {"repair", "repair ARCHIVE [REPAIRED]", repairCommand},
};

int usage(const std::string& problem)
{
    if (!problem.empty())
        std::cerr << "packrook-cli: " << problem << "\n";
    std::cerr << "usage:\n";
    for (const Command& command : kCommands)
        std::cerr << "  packrook-cli " << command.usage << "\n";
    return 2;
}

const Command* findCommand(const std::string& name)
{
    for (const Command& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage(std::string());
    const Command* command = findCommand(argv[1]);
    if (!command)
        return usage("unknown command " + std::string(argv[1]));
    try {
        return command->run(Words(argv + 2, argv + argc));
    } catch (const UsageError& error) {
        return usage(error.what());
    } catch (const CZipException& error) {
        std::cerr << error.getMessage() << "\n";
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
    }
    return 1;
}
