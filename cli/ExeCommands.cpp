// Commands for self-extracting programs: sfx converts an archive into one,
// exe-params reads or rewrites its install directory and file to run.
#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"

#include <iostream>
#include <stdexcept>

int sfxCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--install-dir", "--run"});
    arguments.requirePositionals(2, 2);
    ConsoleCallBack callback;
    CZipFile archive(&callback);
    openExisting(archive, arguments.positionals()[0]);
    archive.convertToExe(arguments.positionals()[1], arguments.value("--install-dir"), arguments.value("--run"));
    return 0;
}

int exeParamsCommand(const Words& words)
{
    Arguments arguments(words, {"--set"}, {});
    const bool set = arguments.has("--set");
    arguments.requirePositionals(set ? 3 : 1, set ? 3 : 1);
    const std::string& path = arguments.positionals()[0];
    ConsoleCallBack callback;
    CZipFile archive(&callback);
    openExisting(archive, path);
    if (set) {
        requireWritable(archive, path);
        archive.setExeParams(arguments.positionals()[1], arguments.positionals()[2]);
    }
    CString installDir, runFile;
    if (!archive.getExeParams(installDir, runFile))
        throw std::runtime_error("Not a self-extracting program: " + path);
    std::cout << installDir << "\n" << runFile << "\n";
    return 0;
}
