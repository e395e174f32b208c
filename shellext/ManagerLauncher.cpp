#include "ManagerLauncher.h"

#include "Module.h"

#include <shellapi.h>

std::string managerPath()
{
    const std::string folder = module::folder();
    return folder.empty() ? std::string() : folder + "Packrook.exe";
}

void startManager(HWND owner, const std::string& parameters)
{
    ::ShellExecuteA(owner, nullptr, managerPath().c_str(), parameters.c_str(), nullptr, SW_HIDE);
}

bool runManager(const std::string& parameters, DWORD timeoutMs)
{
    const std::string program = managerPath();
    SHELLEXECUTEINFOA start = {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS;
    start.lpFile = program.c_str();
    start.lpParameters = parameters.c_str();
    start.nShow = SW_SHOW;
    if (!::ShellExecuteExA(&start) || !start.hProcess)
        return false;
    const bool ended = ::WaitForSingleObject(start.hProcess, timeoutMs) == WAIT_OBJECT_0;
    ::CloseHandle(start.hProcess);
    return ended;
}
