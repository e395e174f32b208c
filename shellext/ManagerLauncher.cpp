#include "ManagerLauncher.h"

#include "Module.h"
#include "os/Os.h"

#include <shellapi.h>

std::string managerPath()
{
    const std::string folder = module::folder();
    return folder.empty() ? std::string() : folder + "Packrook.exe";
}

std::string writeListFile(const commandtext::Selection& selection)
{
    wchar_t created[MAX_PATH] = {};
    std::string path;
    if (!::GetTempFileNameW(os::toWide(os::tempFolder()).c_str(), L"Prk", 0, created) || !os::fromWide(created, path))
        return std::string();
    const std::string text = commandtext::listText(selection);
    os::FileHandle file = os::openFile(path, os::OpenMode::CreateForWriting);
    uint32_t written = 0;
    const bool whole = file != os::kInvalidFile
                       && os::writeFile(file, text.data(), static_cast<uint32_t>(text.size()), written)
                       && written == text.size() && os::flushFile(file);
    if (file != os::kInvalidFile)
        os::closeFile(file);
    if (!whole) {
        os::removeFile(path);
        return std::string();
    }
    return path;
}

bool startManager(HWND owner, const std::string& parameters)
{
    const auto started = reinterpret_cast<INT_PTR>(::ShellExecuteW(
        owner, nullptr, os::toWide(managerPath()).c_str(), os::toWide(parameters).c_str(), nullptr, SW_HIDE));
    return started > 32;
}

ManagerRun runManager(const std::string& parameters, DWORD timeoutMs)
{
    const std::wstring program = os::toWide(managerPath());
    const std::wstring arguments = os::toWide(parameters);
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS;
    start.lpFile = program.c_str();
    start.lpParameters = arguments.c_str();
    start.nShow = SW_SHOW;
    if (!::ShellExecuteExW(&start) || !start.hProcess)
        return ManagerRun::notStarted;
    const bool ended = ::WaitForSingleObject(start.hProcess, timeoutMs) == WAIT_OBJECT_0;
    ::CloseHandle(start.hProcess);
    return ended ? ManagerRun::ended : ManagerRun::stillRunning;
}
