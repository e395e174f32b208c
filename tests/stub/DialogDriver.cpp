#include "DialogDriver.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>

namespace stub_testing {

namespace {
constexpr DWORD kLongestRunMs = 60000;
constexpr int kPasswordEdit = 1000;

std::string windowText(HWND window)
{
    char text[2048] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK collectStatic(HWND child, LPARAM lParam)
{
    char className[32] = {};
    ::GetClassNameA(child, className, sizeof className);
    const std::string text = windowText(child);
    if (lstrcmpiA(className, "Static") == 0 && !text.empty())
        *reinterpret_cast<std::string*>(lParam) += text;
    return TRUE;
}

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collectVisible(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<ProcessWindows*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ::IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

// Wine treats top-level windows as managed by a window manager and, with
// none running (Xvfb), waits two seconds for each one to be withdrawn. The
// setting is scoped to the program's file name and means nothing elsewhere.
void withoutWindowManagerUnderWine(const std::string& program)
{
    const std::string name = program.substr(program.find_last_of("\\/") + 1);
    const std::string key = "Software\\Wine\\AppDefaults\\" + name + "\\X11 Driver";
    HKEY settings = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &settings, nullptr)
        != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(settings, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    ::RegCloseKey(settings);
}

class Player {
public:
    Player(Answers answers, StubRun& run) : answers_(std::move(answers)), run_(run) {}

    void answerWindowsOf(DWORD processId)
    {
        forgetClosedWindows();
        ProcessWindows search{processId, {}};
        ::EnumWindows(collectVisible, reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.found)
            if (answered_.insert(window).second)
                answer(window);
    }

private:
    // A handle may come back for a later window once the first is gone.
    void forgetClosedWindows()
    {
        for (auto window = answered_.begin(); window != answered_.end();)
            window = ::IsWindow(*window) ? std::next(window) : answered_.erase(window);
    }

    void answer(HWND window)
    {
        SeenWindow seen{windowText(window), std::string()};
        ::EnumChildWindows(window, collectStatic, reinterpret_cast<LPARAM>(&seen.text));
        run_.windows.push_back(seen);
        if (isDialog(window))
            ::PostMessageA(window, WM_COMMAND, buttonFor(window, seen), 0);
        else
            ::PostMessageA(window, WM_CLOSE, 0, 0);
    }

    static bool isDialog(HWND window)
    {
        char className[32] = {};
        ::GetClassNameA(window, className, sizeof className);
        return std::string(className) == "#32770";
    }

    WPARAM buttonFor(HWND window, const SeenWindow& seen)
    {
        if (seen.title == "Enter Password") {
            ++run_.passwordDialogs;
            if (answers_.passwords.empty())
                return IDCANCEL;
            ::SetDlgItemTextA(window, kPasswordEdit, answers_.passwords.front().c_str());
            answers_.passwords.erase(answers_.passwords.begin());
            return IDOK;
        }
        if (::GetDlgItem(window, IDYES))
            return answers_.confirm ? IDYES : IDNO;
        return IDOK;
    }

    Answers answers_;
    StubRun& run_;
    std::set<HWND> answered_;
};
}

StubRun runAndAnswer(const std::string& program, const std::string& currentDirectory, Answers answers,
                     const std::string& arguments)
{
    StubRun run;
    withoutWindowManagerUnderWine(program);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\" " + arguments;
    if (!::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          currentDirectory.c_str(), &startup, &process)) {
        ADD_FAILURE() << "cannot start " << program << ": error " << ::GetLastError();
        return run;
    }
    Player player(std::move(answers), run);
    const DWORD start = ::GetTickCount();
    while (::WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (::GetTickCount() - start > kLongestRunMs) {
            ADD_FAILURE() << program << " did not end; windows answered: " << run.windows.size();
            ::TerminateProcess(process.hProcess, 99);
            break;
        }
        player.answerWindowsOf(process.dwProcessId);
    }
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return run;
}

} // namespace stub_testing
